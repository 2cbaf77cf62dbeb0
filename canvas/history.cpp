#include "canvas/history.h"

#include <cstdint>
#include <deque>
#include <vector>

#include "base/colour.h"

namespace {

// `count` cells from `cell` on (x + y * width), all of which went from
// `before` to `after`: a fill or a line changes long runs of cells alike.
struct Change {
  std::uint32_t cell;
  std::uint32_t count;
  int before[3];
  int after[3];
};

using Action = std::vector<Change>;

std::deque<Action> actions;  // kept actions, oldest first
std::size_t applied = 0;     // actions[0 .. applied) are on the picture
long long dropped = 0;       // actions dropped from the front, for the saved mark
long long saved_at = 0;      // absolute count of applied actions when saved; -1: gone
Action open_action;
bool recording = false;
std::size_t bytes_used = 0;
std::size_t limit = kHistoryDefaultLimit;
void (*listener)() = nullptr;

std::size_t cost(const Action &a) { return a.size() * sizeof(Change) + sizeof(Action); }

void notify() {
  if (listener) listener();
}

void drop_redo() {
  while (actions.size() > applied) {
    bytes_used -= cost(actions.back());
    actions.pop_back();
  }
  if (saved_at > dropped + static_cast<long long>(applied)) saved_at = -1;
}

void enforce_limit() {
  while (bytes_used > limit && !actions.empty()) {
    bytes_used -= cost(actions.front());
    actions.pop_front();
    dropped++;
    if (applied > 0) applied--;
  }
  if (saved_at >= 0 && saved_at < dropped) saved_at = -1;
}

void put_change(const Change &c, const int *rgb, HistoryPut put) {
  for (std::uint32_t cell = c.cell; cell < c.cell + c.count; cell++) put(cell, rgb);
}

}  // namespace

void history_begin() {
  history_end();
  recording = true;
}

void history_continue() { recording = true; }

void history_end() {
  if (!recording) return;
  recording = false;
  if (open_action.empty()) return;
  drop_redo();
  bytes_used += cost(open_action);
  actions.push_back(std::move(open_action));
  open_action = Action();
  applied = actions.size();
  enforce_limit();
  notify();
}

bool history_recording() { return recording; }

void history_record(std::size_t first, std::size_t count, const int *old_rgb, int r, int g,
                    int b) {
  const int after[3] = {r, g, b};
  if (!open_action.empty()) {
    Change &last = open_action.back();
    if (last.cell + last.count == first && px_same_rgb(last.before, old_rgb) && px_same_rgb(last.after, after)) {
      last.count += static_cast<std::uint32_t>(count);
      return;
    }
  }
  open_action.push_back(Change{static_cast<std::uint32_t>(first),
                               static_cast<std::uint32_t>(count),
                               {old_rgb[0], old_rgb[1], old_rgb[2]},
                               {r, g, b}});
}

bool history_undo(HistoryPut put) {
  history_end();
  if (applied == 0) return false;
  const Action &a = actions[--applied];
  for (auto it = a.rbegin(); it != a.rend(); ++it) put_change(*it, it->before, put);
  notify();
  return true;
}

bool history_redo(HistoryPut put) {
  history_end();
  if (applied == actions.size()) return false;
  const Action &a = actions[applied++];
  for (const Change &c : a) put_change(c, c.after, put);
  notify();
  return true;
}

bool history_can_undo() { return applied > 0 || !open_action.empty(); }
bool history_can_redo() { return applied < actions.size(); }

void history_clear() {
  recording = false;
  open_action = Action();
  actions.clear();
  applied = 0;
  dropped = 0;
  saved_at = 0;
  bytes_used = 0;
  notify();
}

void history_mark_saved() { saved_at = dropped + static_cast<long long>(applied); }

void history_mark_unsaved() { saved_at = -1; }

bool history_at_saved() { return saved_at == dropped + static_cast<long long>(applied); }

void history_set_limit(std::size_t bytes) {
  limit = bytes;
  enforce_limit();
  notify();
}

std::size_t history_bytes() { return bytes_used; }

void history_set_listener(void (*fn)()) { listener = fn; }
