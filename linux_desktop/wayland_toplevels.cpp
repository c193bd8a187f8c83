// A compositor's window list; see wayland_toplevels.h.
#include "linux_desktop/wayland_toplevels.h"

#include <algorithm>
#include <unordered_map>

namespace quillmoss::desktop {

bool ToplevelList::add(Key key) {
  if (entries_.size() >= kMaxToplevels) return false;
  entries_.push_back(Entry{key, {}, {}});
  return true;
}

void ToplevelList::setParent(Key key, Key parent) {
  if (Entry* entry = find(key)) entry->pendingParent = parent;
}

ToplevelList::Entry* ToplevelList::find(Key key) {
  const auto it = std::find_if(entries_.begin(), entries_.end(),
                               [key](const Entry& entry) { return entry.key == key; });
  return it == entries_.end() ? nullptr : &*it;
}

void ToplevelList::setTitle(Key key, std::string_view title) {
  if (Entry* entry = find(key)) entry->pending.title = title.substr(0, kMaxTextBytes);
}

void ToplevelList::setAppId(Key key, std::string_view appId) {
  if (Entry* entry = find(key)) entry->pending.appId = appId.substr(0, kMaxTextBytes);
}

void ToplevelList::setActivated(Key key, bool activated) {
  if (Entry* entry = find(key)) entry->pending.activated = activated;
}

void ToplevelList::done(Key key) {
  Entry* entry = find(key);
  if (entry == nullptr) return;
  entry->current = entry->pending;
  entry->currentParent = entry->pendingParent;
  changed();
}

void ToplevelList::closed(Key key) {
  // Compositors need not deactivate a window before closing it: its leaving is the change.
  if (std::erase_if(entries_, [key](const Entry& entry) { return entry.key == key; }) == 0) return;
  // A later window may get the same handle.
  for (Entry& entry : entries_) {
    if (entry.currentParent == key) entry.currentParent = nullptr;
    if (entry.pendingParent == key) entry.pendingParent = nullptr;
  }
  changed();
}

void ToplevelList::changed() {
  if (changed_) changed_();
}

std::vector<WaylandToplevel> ToplevelList::toplevels() const {
  std::vector<WaylandToplevel> list;
  list.reserve(entries_.size());
  std::unordered_map<Key, std::size_t> position;
  for (std::size_t i = 0; i < entries_.size(); ++i) position.emplace(entries_[i].key, i);
  for (const Entry& entry : entries_) {
    list.push_back(entry.current);
    if (auto it = position.find(entry.currentParent); it != position.end()) {
      list.back().parent = it->second;
    }
  }
  return list;
}

}  // namespace quillmoss::desktop
