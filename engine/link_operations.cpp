// Link jobs: the two job slots, their sequencing and the progress text.
#include "engine/link_operations.h"

#include <cstdio>

#include "engine/context.h"

namespace quorvel {

namespace {

const LinkJob& CurrentJob(const Context& ctx) { return ctx.linkOps.state.jobs[ctx.linkOps.state.current & 1]; }

}  // namespace

bool LinkJobStarted(const Context& ctx) { return CurrentJob(ctx).Started(); }

bool I1WriteInProgress(const Context& ctx) { return CurrentJob(ctx).i1State != 0; }

bool LinkOperationRunning(const Context& ctx) {
  const LinkJobs& s = ctx.linkOps.state;
  return !s.jobs[0].Idle() || !s.jobs[1].Idle() || s.backlogCount > 0;
}

void SelectNextLinkJob(Context& ctx) {
  LinkJobs& s = ctx.linkOps.state;
  if (s.jobCount != 0 && s.current == 0 && s.jobs[0].Idle()) s.current = 1;
  if (s.jobs[0].Idle() && s.jobs[1].Idle() && s.backlogCount > 0) {
    s.jobs[0] = s.backlog[0];
    for (int i = 1; i < s.backlogCount; ++i) s.backlog[i - 1] = s.backlog[i];
    --s.backlogCount;
    s.backlog[s.backlogCount] = LinkJob{};
    s.jobs[1] = LinkJob{};
    s.current = 0;
    s.jobCount = 1;
  }
}

std::string LinkJobProgressText(const Context& ctx) {
  const LinkJob& job = CurrentJob(ctx);
  char text[160];
  if (!ctx.linkOps.linkEditDisplay) {
    std::snprintf(text, sizeof text, "Linking Inteon Device... \n%02x.%02x.%02x, Group %d", job.target.b[0],
                  job.target.b[1], job.target.b[2], job.displayGroup);
  } else {
    std::snprintf(text, sizeof text, "%s\nInteon Device  %02x.%02x.%02x, Group %d",
                  job.record[0] == 0x22 ? "Unlinking... " : "Updating Link Information... ", job.target.b[0],
                  job.target.b[1], job.target.b[2], job.displayGroup);
  }
  return std::string(text) + " \n\n\t Please wait...";
}

void ResetLinkJobs(Context& ctx) { ctx.linkOps.state = LinkJobs{}; }

}  // namespace quorvel
