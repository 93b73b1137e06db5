#pragma once
// The process-wide objects of one run, in one place: the program makes one, and
// every test makes a fresh one, so nothing leaks between runs.
#include "automation/event_record.h"
#include "automation/sun_times.h"
#include "automation/time_events.h"
#include "automation/widget_record.h"
#include "config/config_files.h"
#include "config/options_record.h"
#include "device/device_database.h"
#include "device/group_table.h"
#include "engine/link_operations.h"
#include "engine/main_tick.h"
#include "engine/network_engine.h"
#include "engine/refresh_flags.h"
#include "log/activity_log.h"
#include "platform/clock.h"
#include "platform/diagnostics.h"
#include "platform/file_system.h"
#include "platform/notifier.h"
#include "platform/serial_port.h"
#include "plm/incoming_messages.h"
#include "plm/link_reader.h"
#include "plm/receive_framer.h"
#include "plm/send_queues.h"
#include "plm/serial_link.h"

namespace quorvel {

struct Context {
  Context(Clock& clock, SerialPort& port, FileSystem& files, Notifier& notifier)
      : clock(clock), port(port), files(files), notifier(notifier), log(clock, &notifier) {
    framer.handler = &incoming;
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  // Seams to the world outside the process.
  Clock& clock;
  SerialPort& port;
  FileSystem& files;
  Notifier& notifier;
  Diagnostics diagnostics;  // the standard output stream unless pointed elsewhere

  ActivityLog log;

  // Data the user keeps.
  DeviceDatabase db;      // the live table
  DeviceDatabase loaded;  // the data file as loaded, merged into db after each modem read
  GroupTable groups;
  EventTable events;
  WidgetCollection widgets;
  OptionsRecord options{};
  ConfigFilesState configFiles;

  // The modem link and the engine.
  SerialLink link;
  ReceiveFramer framer;
  SendQueues queues;
  IncomingState incoming;
  MainTick tick;
  NetworkEngine engine;
  LinkOperations linkOps;
  LinkReader linkReader;
  RefreshFlags refresh;
  SunTimes sun;
  TimeEventScan timeEvents;
};

}  // namespace quorvel
