#pragma once
// The document: the whole configuration, which lives in the five files. It
// loads them when it is made and saves them when it goes; it names no file of
// its own.
#include <functional>

#include "config/config_files.h"

namespace quorvel {

struct Context;

class COrvoDoc {
 public:
  // Switches the save log on, loads the five files and applies the options'
  // start-up rules. Writes no log line: the output pane does not exist yet.
  explicit COrvoDoc(Context& ctx);
  // A document whose files the run object has already loaded; `close` is its
  // save at exit.
  COrvoDoc(Context& ctx, std::function<SaveResult()> close);
  // Switches the save log off and saves (the data file only once the modem's
  // table was merged in this run).
  ~COrvoDoc();
  COrvoDoc(const COrvoDoc&) = delete;
  COrvoDoc& operator=(const COrvoDoc&) = delete;

  // "Save": save every file and load them again.
  SaveResult Save();
  // Storing the document (a ".cfg" saved through the file commands): the same
  // save, and the engine starts over with the modem, so the stored details are
  // merged again.
  SaveResult Store();

  // What the save at exit did, for the caller that closes the document early.
  SaveResult Close();
  bool Closed() const { return closed_; }

 private:
  Context& ctx_;
  std::function<SaveResult()> close_;
  bool closed_ = false;
};

}  // namespace quorvel
