// Live reload: uirun --watch reloads an interface file when it, or a file it includes,
// changes, and merges the new file into the running objects.
#pragma once

#include <X11/Intrinsic.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "interface_file.h"
#include "om/om.h"

class Watcher {
 public:
  // Watches `file`, whose objects `live` (top-level, in order) were loaded under place.
  // onChange is called with the new top-level objects after every reload.
  Watcher(std::string file, OMobj_id place, const UIloadResult& live,
          std::function<void(const std::vector<OMobj_id>&)> onChange);
  ~Watcher();
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  // Polls the files from a timer of the event loop until this goes.
  void start();

  // Reloads when a watched file has changed and stayed so for one poll (an editor may write a
  // file in steps). Prints the problems of a file with errors (file:line:column) to standard
  // error and keeps the running objects; otherwise merges: objects that still exist keep their
  // values except the properties whose text in the file changed, new objects are made, and
  // objects the file no longer has are destroyed. Returns true when it reloaded.
  bool poll();

  // Reloads now, as poll does after a change.
  bool reload();

 private:
  struct Stamp {
    bool exists = false;
    long long mtime = 0;
    long long size = 0;
    bool operator!=(const Stamp& o) const {
      return exists != o.exists || mtime != o.mtime || size != o.size;
    }
  };
  static Stamp stampOf(const std::string& path);
  std::map<std::string, Stamp> stamps(const std::vector<std::string>& files) const;
  // Parses the file into a new shadow group that is never instanced.
  bool parse(OMobj_id* shadow, UIloadResult* result);
  void merge(OMobj_id live, OMobj_id oldObj, OMobj_id newObj, const UIloadResult& now);
  void mergeChildren(OMobj_id liveHolder, OMobj_id oldHolder, OMobj_id newHolder,
                     const UIloadResult& now, bool topLevel);
  void mergeProperties(OMobj_id liveHolder, OMobj_id liveOwner, OMobj_id oldHolder,
                       OMobj_id newHolder, const UIloadResult& now);
  OMobj_id copyIn(OMobj_id newObj, OMobj_id liveParent, bool topLevel, const UIloadResult& now);
  std::string specOf(OMobj_id prop, const UIloadResult& from, OMobj_id shadow) const;
  static void relinkCopy(OMobj_id from, OMobj_id to, const UIloadResult& now);

  std::string file_;
  OMobj_id place_;
  OMobj_id shadow_ = OMnull_obj;     // the file as last loaded, for telling what it changed
  OMobj_id newShadow_ = OMnull_obj;  // the file as now read, while it is merged
  UIloadResult parsed_;              // what the loader said of that
  std::map<std::string, Stamp> seen_;
  std::map<std::string, Stamp> pending_;
  std::function<void(const std::vector<OMobj_id>&)> onChange_;
  static void onTimer(XtPointer watcher, XtIntervalId* id);
  XtIntervalId timer_ = 0;
};
