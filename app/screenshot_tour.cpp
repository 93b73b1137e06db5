#include "app/screenshot_tour.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <tuple>

#include "app/controller_select_pane.h"
#include "app/main_frame.h"
#include "app/orvo_app.h"
#include "app/orvo_view.h"
#include "app/window_refs.h"
#include "automation/x10_widget.h"
#include "device/device_catalogue.h"
#include "engine/context.h"
#include "views/device_setup/device_setup_model.h"
#include "views/event_editors/dlg_widgets.h"
#include "views/event_editors/wnd_logic_events.h"
#include "views/event_editors/wnd_time_events.h"
#include "views/link_views/device_list_pane.h"
#include "views/link_views/wnd_controlers.h"
#include "views/log_views/output_pane.h"

namespace quorvel {

namespace {

// The device's table was read and no read is under way.
bool LinksRead(const Context& ctx, DeviceKey key) {
  const int slot = ctx.db.FindDeviceByKey(key);
  return slot < 0 || (ctx.db[slot].linkCount > 0 && !ctx.linkReader.Busy());
}

// The first record of each device a controller's buttons switch.
std::vector<DeviceKey> Responders(const Context& ctx, DeviceKey controller) {
  std::vector<DeviceKey> out;
  const int slot = ctx.db.FindDeviceByKey(controller);
  if (slot < 0) return out;
  const DeviceRecord& k = ctx.db[slot];
  for (int i = 0; i < k.LinkLimit(); ++i) {
    const LinkRecord& l = k.links[i];
    const int other = l.InUse() && (l.flags & kLinkController) != 0 ? ctx.db.FindDevice(l.id) : -1;
    if (other < 0) continue;
    const DeviceKey key = MakeDeviceKey(ctx.db[other].group, l.id);
    if (std::find(out.begin(), out.end(), key) == out.end()) out.push_back(key);
  }
  return out;
}

// Lets the windows take in what changed before a picture.
void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// A few events of the kinds a house has, made as the two event windows make
// them, for the pictures of their lists.
void AddSampleEvents(Context& ctx, DeviceKey dimmer, DeviceKey keypad) {
  const auto timed = [&ctx](DeviceKey key, auto choose) {
    TimeEventForm form = OpenTimeEventForm(ctx);
    form.days = kAllWeekDays;
    if (!ShowTimeEventTarget(ctx, form, key)) return;
    choose(form);
    SaveTimeEvent(ctx, form);
  };
  timed(dimmer, [](TimeEventForm& f) {
    f.timeBase = TimeBase::kSunset;
    f.offset = SunOffset::kBefore;
    f.offsetRow = 19;
  });
  timed(dimmer, [](TimeEventForm& f) {
    f.hour = 7;
    f.minute = 30;
    f.levelPosition = 30;
    f.days = PresetDays(WeekdayPreset::kWeekDays);
  });
  timed(MakeGroupKey(1), [](TimeEventForm& f) {
    f.hour = 23;
    f.minute = 15;
    f.command = 1;
  });
  timed(dimmer, [](TimeEventForm& f) {
    f.timeBase = TimeBase::kSunrise;
    f.offset = SunOffset::kAfter;
    f.offsetRow = 9;
    f.command = 1;
  });

  const auto rule = [&ctx, keypad](int group, auto choose) {
    LogicEventForm form;
    if (!ShowLogicEventDevice(ctx, form, keypad)) return;
    form.initiatorGroup = group;
    ClickOperId(form);
    choose(form);
    SaveLogicEvent(ctx, form);
  };
  rule(1, [&](LogicEventForm& f) {
    ShowLogicEventDevice(ctx, f, dimmer);
    f.levelPosition = 40;
    f.waitSeconds = 5;
  });
  rule(3, [&](LogicEventForm& f) {
    ShowLogicEventDevice(ctx, f, MakeGroupKey(1));
    f.initiatorAction = 1;
    f.operatorAction = 3;
  });
  rule(1, [&](LogicEventForm& f) {
    ClickUseX10(f);
    f.house = 2;
    f.unit = 6;
    f.waitMinutes = 2;
  });
}

}  // namespace

ScreenshotTour::ScreenshotTour(COrvoApp& app, Context& ctx, std::string folder, int64_t waitMillis,
                               std::function<void(bool)> done)
    : app_(app), ctx_(ctx), folder_(std::move(folder)), waitMillis_(waitMillis), done_(std::move(done)) {
  timer_.setInterval(500);
  connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
}

void ScreenshotTour::Start() {
  QDir().mkpath(QString::fromStdString(folder_));
  // The first dimmer that is not a keypad, and the first keypad, of the table.
  const uint32_t n = ctx_.db.count < kMaxDevices ? ctx_.db.count : kMaxDevices;
  for (uint32_t i = 0; i < n; ++i) {
    const DeviceRecord& r = ctx_.db.records[i];
    if (!r.InUse()) continue;
    const DeviceKey key = MakeDeviceKey(r.group, r.id);
    if (keypad_ == 0 && IsKeypadLinc(r)) keypad_ = key;
    if (dimmer_ == 0 && r.category == 0x01 && !IsKeypadLinc(r)) dimmer_ = key;
  }
  started_ = std::chrono::steady_clock::now();
  timer_.start();
}

void ScreenshotTour::Poll() {
  const auto waited =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_).count();
  bool read = LinksRead(ctx_, dimmer_) && LinksRead(ctx_, keypad_);
  if (read && responders_.empty()) {
    responders_ = Responders(ctx_, keypad_);
    for (const DeviceKey key : Responders(ctx_, dimmer_))
      if (std::find(responders_.begin(), responders_.end(), key) == responders_.end()) responders_.push_back(key);
  }
  for (const DeviceKey key : responders_) read = read && LinksRead(ctx_, key);
  if (!read && waited < waitMillis_) {
    // Ask for what the polling has not read yet, as a user would.
    if (++polls_ % 8 == 1) {
      std::vector<DeviceKey> wanted = {dimmer_, keypad_};
      wanted.insert(wanted.end(), responders_.begin(), responders_.end());
      for (const DeviceKey key : wanted)
        if (key != 0 && !LinksRead(ctx_, key)) RefreshLinkList(ctx_, key);
    }
    return;
  }
  timer_.stop();
  if (!read) std::fprintf(stderr, "quorvel: the link tables were not all read in time\n");
  Shoot();
}

bool ScreenshotTour::Save(QWidget* widget, const char* name) {
  Settle();
  const QString path = QDir(QString::fromStdString(folder_)).filePath(QString::fromLatin1(name));
  if (widget != nullptr && widget->grab().save(path, "PNG")) {
    std::printf("%s\n", qPrintable(path));
    return true;
  }
  std::fprintf(stderr, "quorvel: could not write %s\n", qPrintable(path));
  return false;
}

void ScreenshotTour::Shoot() {
  CMainFrame* frame = app_.Frame();
  COrvoView* view = app_.View();
  bool ok = frame != nullptr && view != nullptr;
  if (ok) {
    static constexpr const char* kTabs[] = {"tab-device-setup.png", "tab-controller-setup.png", "tab-time-events.png",
                                            "tab-logic-events.png"};
    // The event lists and the widgets dialog are shown with a few samples,
    // which leave again before the run goes on: the tick waits meanwhile, so
    // no save sees them.
    view->Timer().stop();
    const auto events = std::make_unique<EventTable>(ctx_.events);
    const WidgetCollection widgets = ctx_.widgets;
    if (ctx_.events.eventCount == 0) AddSampleEvents(ctx_, dimmer_, keypad_);
    if (ctx_.widgets.widgets.empty())
      for (const char* typed : {"A5", "J11", "C7"}) ctx_.widgets.Add(MakeX10Widget(typed));
    WindowRefs& refs = app_.Refs();
    if (refs.timeEvents != nullptr) refs.timeEvents->Refresh();
    if (refs.logicEvents != nullptr) refs.logicEvents->Refresh();
    for (int tab = 0; tab < 4; ++tab) {
      view->ActivateTab(tab);
      ok &= Save(frame, kTabs[tab]);
      if (tab == 1) ok &= Save(frame->ControllerSelectPane(), "pane-controller-select.png");
    }
    {
      dlgWidgets dialog(ctx_, frame);
      dialog.TypeList()->setCurrentIndex(kWidgetTypeX10);
      dialog.X10Edit()->setText(QStringLiteral("B12"));
      dialog.show();
      ok &= Save(&dialog, "dialog-widgets.png");
      dialog.reject();
    }
    ctx_.events = *events;
    ctx_.widgets = widgets;
    if (refs.timeEvents != nullptr) refs.timeEvents->Refresh();
    if (refs.logicEvents != nullptr) refs.logicEvents->Refresh();
    view->Timer().start();
    view->ActivateTab(0);
    ok &= Save(frame->DeviceListPane(), "pane-device-list.png");
    ok &= Save(frame->OutputPane(), "pane-output.png");
    CTreeCtrl_PLM_ALDB* tree = frame->DeviceListPane()->Tree();
    const std::pair<DeviceKey, const char*> shots[] = {
        {ModemKey(ctx_), "device-setup-modem.png"}, {dimmer_, "device-setup-dimmer.png"},
        {keypad_, "device-setup-keypad.png"}};
    for (const auto& [key, name] : shots) {
      if (key == 0) continue;
      tree->SelectKey(key);
      ok &= Save(frame, name);
    }
    // The keypad with its scene button 3, and the dimmer with its one group.
    view->ActivateTab(1);
    CWndControlers* controllers = app_.Refs().controllers;
    const std::tuple<DeviceKey, int, const char*> panels[] = {{keypad_, 3, "controller-setup-keypad.png"},
                                                              {dimmer_, 1, "controller-setup-dimmer.png"}};
    for (const auto& [key, group, name] : panels) {
      if (key == 0 || controllers == nullptr) continue;
      controllers->SelectController(key);
      controllers->ShowButtonGroup(group);
      controllers->FillControllerList();
      ok &= Save(frame, name);
    }
    view->ActivateTab(0);
  }
  if (done_) done_(ok);
}

}  // namespace quorvel
