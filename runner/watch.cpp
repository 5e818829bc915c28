// Live reload: polling the interface file and its includes, and merging a new version of the
// file into the running objects.
#include "watch.h"

#include <sys/stat.h>

#include <cstdlib>
#include <iostream>

#include "om/om_text.h"
#include "om/omx.h"
#include "session.h"
#include "ui/dpyMgr.h"

namespace {

constexpr unsigned long kPollMs = 150;

std::string nameOf(OMobj_id id) {
  OMobj_name name = 0;
  OMget_obj_name(id, &name);
  return OMname_to_str(name);
}

std::vector<OMobj_id> subs(OMobj_id holder) {
  std::vector<OMobj_id> out;
  int count = 0;
  OMget_num_subobjs(holder, &count);
  for (int i = 0; i < count; ++i) out.push_back(OMget_subobj_at(holder, i));
  return out;
}

OMobj_id subNamed(OMobj_id holder, const std::string& name) {
  return holder.serial ? OMfind_subobj(holder, OMstr_to_name(name.c_str()), 0) : OMnull_obj;
}

// Copies the value a property holds in the shadow into the live one (links are set apart).
void copyValue(OMobj_id from, OMobj_id to) {
  int kind = OMget_obj_kind(from);
  switch (kind) {
    case OM_KIND_INT: {
      int v = 0;
      if (OMget_int_val(from, &v) == 1) OMset_int_val(to, v);
      break;
    }
    case OM_KIND_REAL: {
      double v = 0;
      if (OMget_real_val(from, &v) == 1) OMset_real_val(to, v);
      break;
    }
    case OM_KIND_STRING: {
      char* text = nullptr;
      if (OMget_str_val(from, &text, 0) == 1 && text) OMset_str_val(to, text);
      std::free(text);
      break;
    }
    case OM_KIND_INT_ARRAY:
    case OM_KIND_REAL_ARRAY:
    case OM_KIND_STR_ARRAY: {
      int size = 0;
      if (OMget_array_size(from, &size) != 1) break;
      OMset_array_size(to, 0);
      for (int i = 0; i < size; ++i) {
        if (kind == OM_KIND_STR_ARRAY) {
          char* text = nullptr;
          if (OMget_str_array_val(from, i, &text, 0) == 1 && text) OMset_str_array_val(to, i, text);
          std::free(text);
        } else {
          double v = 0;
          if (OMget_real_array_val(from, i, &v) == 1) OMset_real_array_val(to, i, v);
        }
      }
      break;
    }
    default:
      break;  // references to objects are links; pointers are the library's
  }
}

}  // namespace

Watcher::Watcher(std::string file, OMobj_id place, const UIloadResult& live,
                 std::function<void(const std::vector<OMobj_id>&)> onChange)
    : file_(std::move(file)), place_(place), onChange_(std::move(onChange)) {
  // The running objects came from the file as it is now: its shadow is the "before" of the
  // first change. Should it fail to parse now (it changed already), every property counts as
  // changed at the next reload.
  UIloadResult shadowResult;
  if (parse(&shadow_, &shadowResult)) parsed_ = shadowResult;
  seen_ = stamps(live.files.empty() ? std::vector<std::string>{file_} : live.files);
}

Watcher::~Watcher() {
  if (timer_) XtRemoveTimeOut(timer_);
  if (shadow_.serial) OMdestroy_obj(shadow_, 0);
}

void Watcher::start() {
  // A timer rather than a call every turn: the loop is quiet between polls, so that waiting
  // for the interface to settle still ends.
  if (!UIdpyContext::_appContext) return;
  timer_ = XtAppAddTimeOut(UIdpyContext::_appContext, kPollMs, onTimer, this);
}

void Watcher::onTimer(XtPointer watcher, XtIntervalId*) {
  auto* self = static_cast<Watcher*>(watcher);
  self->timer_ = 0;
  self->poll();
  self->start();
}

Watcher::Stamp Watcher::stampOf(const std::string& path) {
  struct stat st {};
  Stamp s;
  if (::stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  s.size = static_cast<long long>(st.st_size);
  return s;
}

std::map<std::string, Watcher::Stamp> Watcher::stamps(const std::vector<std::string>& files) const {
  std::map<std::string, Stamp> out;
  for (const std::string& f : files) out[f] = stampOf(f);
  return out;
}

bool Watcher::poll() {
  std::vector<std::string> files;
  for (const auto& entry : seen_) files.push_back(entry.first);
  std::map<std::string, Stamp> current = stamps(files);
  bool changed = false;
  for (const auto& entry : current)
    if (entry.second != seen_[entry.first]) changed = true;
  if (!changed) {
    pending_.clear();
    return false;
  }
  // Changed since the last reload: reload once it has held still for a poll.
  bool settled = !pending_.empty() && pending_.size() == current.size();
  for (const auto& entry : current)
    if (settled && entry.second != pending_[entry.first]) settled = false;
  pending_ = current;
  if (!settled) return false;
  pending_.clear();
  seen_ = current;
  return reload();
}

bool Watcher::parse(OMobj_id* shadow, UIloadResult* result) {
  static int count = 0;
  std::string name = "uirun_watch_" + std::to_string(++count);
  OMobj_id group =
      OMcreate_obj(OMstr_to_name(name.c_str()), OM_KIND_GROUP, OMroot_obj, OMnull_obj, 0);
  *result = UIloadInterfaceFile(file_, group);
  if (!result->ok) {
    OMdestroy_obj(group, 0);
    *shadow = OMnull_obj;
    return false;
  }
  *shadow = group;
  return true;
}

bool Watcher::reload() {
  OMobj_id shadow;
  UIloadResult now;
  bool ok = parse(&shadow, &now);
  // The files to watch from now on: those of the new version too (an include added or mended).
  for (const std::string& f : now.files)
    if (!seen_.count(f)) seen_[f] = stampOf(f);
  if (!ok) {
    for (const UIloadError& e : now.errors) std::cerr << e.text() << "\n";
    std::cerr << "uirun: " << file_ << " not reloaded; the running interface stays\n";
    return false;
  }
  newShadow_ = shadow;
  OMpush_ctx(place_, 0, 0, 0);
  mergeChildren(place_, shadow_, shadow, now, true);
  OMpop_ctx(place_);
  if (shadow_.serial) OMdestroy_obj(shadow_, 0);
  shadow_ = shadow;
  newShadow_ = OMnull_obj;
  parsed_ = now;
  std::vector<OMobj_id> objects;
  for (OMobj_id made : now.objects) {
    OMobj_id live = subNamed(place_, nameOf(made));
    if (live.serial) objects.push_back(live);
  }
  std::cout << "reloaded " << file_ << std::endl;
  if (onChange_) onChange_(objects);
  return true;
}

void Watcher::mergeChildren(OMobj_id liveHolder, OMobj_id oldHolder, OMobj_id newHolder,
                            const UIloadResult& now, bool topLevel) {
  // What the file no longer has goes first, so that nothing new links to it.
  for (OMobj_id o : subs(oldHolder)) {
    if (!parsed_.types.count(o.serial)) continue;
    std::string name = nameOf(o);
    if (subNamed(newHolder, name).serial) continue;
    OMobj_id live = subNamed(liveHolder, name);
    if (live.serial) OMdestroy_obj(live, 0);
  }
  for (OMobj_id n : subs(newHolder)) {
    if (!now.types.count(n.serial)) continue;
    std::string name = nameOf(n);
    OMobj_id live = subNamed(liveHolder, name);
    OMobj_id old = subNamed(oldHolder, name);
    auto oldType = parsed_.types.find(old.serial);
    bool same = live.serial && old.serial && oldType != parsed_.types.end() &&
                oldType->second == now.types.at(n.serial);
    if (same) {
      mergeProperties(live, live, old, n, now);
      mergeChildren(live, old, n, now, false);
      continue;
    }
    if (live.serial) OMdestroy_obj(live, 0);  // made from another template now
    copyIn(n, liveHolder, topLevel, now);
  }
}

std::string Watcher::specOf(OMobj_id prop, const UIloadResult& from, OMobj_id shadow) const {
  auto link = from.links.find(prop.serial);
  if (link != from.links.end()) return "=> " + link->second;
  OMobj_id target;
  if (OMget_obj_pval(prop, &target, 0) == 1) {
    char path[1024] = "";
    OMret_obj_path_to(target, shadow, path, sizeof path);
    return std::string("ref ") + path;
  }
  std::string text;
  return UIvalueText(prop, &text) ? "= " + text : "unset";
}

void Watcher::mergeProperties(OMobj_id liveHolder, OMobj_id liveOwner, OMobj_id oldHolder,
                              OMobj_id newHolder, const UIloadResult& now) {
  for (OMobj_id n : subs(newHolder)) {
    if (now.types.count(n.serial)) continue;
    std::string name = nameOf(n);
    OMobj_id live = subNamed(liveHolder, name);
    if (!live.serial) continue;
    OMobj_id old = subNamed(oldHolder, name);
    auto link = now.links.find(n.serial);
    if (OMget_obj_kind(n) == OM_KIND_GROUP && link == now.links.end()) {
      mergeProperties(live, liveOwner, old, n, now);
      continue;
    }
    std::string before = old.serial ? specOf(old, parsed_, shadow_) : "absent";
    std::string after = specOf(n, now, newShadow_);
    if (before == after) continue;  // the file left it alone: the running value stays
    if (link != now.links.end()) {
      std::string why;
      int offset = 0;
      if (!OMset_expression(live, liveOwner, link->second.c_str(), &why, &offset))
        std::cerr << file_ << ": " << name << ": bad link: " << why << "\n";
    } else if (after.rfind("= ", 0) == 0) {
      // A link the file replaced by a value goes first: a value written into a link would
      // land on the object it refers to.
      OMobj_id target;
      if (before.rfind("=> ", 0) == 0 || OMget_obj_pval(live, &target, 0) == 1)
        OMset_obj_val(live, OMnull_obj, 0);
      copyValue(n, live);
    }
  }
}

void Watcher::relinkCopy(OMobj_id from, OMobj_id to, const UIloadResult& now) {
  // The copy's links to objects outside it still aim at the shadow: every link the file wrote
  // is made again from the copy's own place.
  std::function<void(OMobj_id, OMobj_id, OMobj_id)> walk = [&](OMobj_id src, OMobj_id dst,
                                                               OMobj_id owner) {
    std::vector<OMobj_id> s = subs(src), d = subs(dst);
    for (size_t i = 0; i < s.size() && i < d.size(); ++i) {
      if (now.types.count(s[i].serial)) {
        walk(s[i], d[i], d[i]);
        continue;
      }
      auto link = now.links.find(s[i].serial);
      if (link != now.links.end()) {
        std::string why;
        int offset = 0;
        OMset_expression(d[i], owner, link->second.c_str(), &why, &offset);
      } else if (OMget_obj_kind(s[i]) == OM_KIND_GROUP) {
        walk(s[i], d[i], owner);
      }
    }
  };
  walk(from, to, to);
}

OMobj_id Watcher::copyIn(OMobj_id newObj, OMobj_id liveParent, bool topLevel,
                         const UIloadResult& now) {
  OMobj_name name = 0;
  OMget_obj_name(newObj, &name);
  OMobj_id copy = OMcopy_obj(newObj, name, liveParent, OMnull_obj, 0);
  if (!copy.serial) return copy;
  relinkCopy(newObj, copy, now);
  OMobj_id parentProp = OMfind_subobj(copy, OMstr_to_name("parent"), 0);
  OMobj_id written = OMfind_subobj(newObj, OMstr_to_name("parent"), 0);
  if (!topLevel && parentProp.serial && !now.links.count(written.serial))
    OMset_obj_ref(parentProp, liveParent, 0);
  return copy;
}
