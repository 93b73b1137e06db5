#include "app/orvo_doc.h"

#include "engine/context.h"

namespace quorvel {

COrvoDoc::COrvoDoc(Context& ctx) : ctx_(ctx) {
  LoadAtStart(ctx_);
  WireConfigFiles(ctx_);
}

COrvoDoc::COrvoDoc(Context& ctx, std::function<SaveResult()> close) : ctx_(ctx), close_(std::move(close)) {
  WireConfigFiles(ctx_);
}

COrvoDoc::~COrvoDoc() { Close(); }

SaveResult COrvoDoc::Save() { return SaveCommand(ctx_); }

SaveResult COrvoDoc::Store() {
  const SaveResult saved = SaveCommand(ctx_);
  ctx_.engine.engineState = 0;
  return saved;
}

SaveResult COrvoDoc::Close() {
  if (closed_) return {};
  closed_ = true;
  return close_ ? close_() : SaveAtExit(ctx_);
}

}  // namespace quorvel
