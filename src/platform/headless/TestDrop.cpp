// Drops for the headless backend: the window's registered drop handler gets the items at once.
#include <cstdlib>
#include <vector>

#include "platform/TestDrop.h"
#include "platform/headless/Headless.h"
#include "platform/headless/Objects.h"

namespace kestrane::platform::testdrop {

namespace {
constexpr long kDropFiles = 0;
constexpr long kDropText = 1;

Outcome deliver(WindowRef window, void** items, long count, long type, Position client) {
  Outcome outcome;
  if (window == nullptr || window->destroyed || window->dropHandler == nullptr) return outcome;
  outcome.dropped = true;
  outcome.dropEffect =
      window->dropHandler->dropped(items, count, type, client) ? EffectCopy : EffectNone;
  return outcome;
}
}  // namespace

Outcome dragText(WindowRef window, Position client, const std::string& text, int) {
  std::vector<char> copy(text.begin(), text.end());
  copy.push_back('\0');
  void* item = copy.data();
  return deliver(window, &item, static_cast<long>(copy.size()), kDropText, client);
}

Outcome dragFiles(WindowRef window, Position client, const std::vector<std::string>& paths,
                  int) {
  std::vector<std::vector<char>> names;
  std::vector<void*> items;
  for (const std::string& path : paths) {
    names.emplace_back(path.c_str(), path.c_str() + path.size() + 1);
  }
  for (std::vector<char>& name : names) items.push_back(name.data());
  if (items.empty()) return Outcome{};
  return deliver(window, items.data(), static_cast<long>(items.size()), kDropFiles, client);
}

Outcome dragOtherData(WindowRef, Position) { return Outcome{}; }

int liveDropTargets() { return headless::dropTargetCount(); }

bool realDrags() { return false; }

std::string scratchFolder() {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/";
}

bool createShortcut(const std::string&, const std::string&) { return false; }

std::string shortPath(const std::string&) { return std::string(); }

}  // namespace kestrane::platform::testdrop
