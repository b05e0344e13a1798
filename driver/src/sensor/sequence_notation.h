// Register sequences written the way the chip documentation writes them, expanded into
// register tables at compile time:
//   rrr=vv    controller register write (three hex digits, two hex digits)
//   rrr?      controller register read, value not used
//   Saa=hhll  sensor register write through the window: 092=aa 093=ll 094=hh 090=01 091?
//   Saa?      sensor register read through the window:  092=aa 090=02 091? 095? 096?
// Items are separated by blanks or line breaks. A malformed item does not compile.
#pragma once

#include <cstddef>
#include <string_view>

#include "usb/register_table.h"

template <std::size_t N>
struct SequenceText {
  char text[N]{};
  consteval SequenceText(const char (&literal)[N]) {
    for (std::size_t i = 0; i < N; ++i) text[i] = literal[i];
  }
  constexpr std::string_view View() const { return {text, N - 1}; }
};

namespace sequence_notation {

constexpr unsigned HexValue(std::string_view digits) {
  unsigned value = 0;
  for (char c : digits) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<unsigned>(c - 'A' + 10);
    else
      throw "register sequence: not an upper-case hex digit";
    value = value * 16 + digit;
  }
  return value;
}

constexpr bool IsBlank(char c) { return c == ' ' || c == '\n' || c == '\t'; }

template <typename Visit>
constexpr void ForEachItem(std::string_view text, Visit visit) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    std::size_t end = pos;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    if (end > pos) visit(text.substr(pos, end - pos));
    pos = end;
  }
}

// Number of vendor requests one item stands for; refuses anything malformed.
constexpr std::size_t ItemRequests(std::string_view item) {
  const bool sensor = item.front() == 'S';
  const std::size_t addressDigits = sensor ? 2 : 3;
  const std::string_view address = item.substr(sensor ? 1 : 0, addressDigits);
  HexValue(address);
  const std::string_view rest = item.substr((sensor ? 1 : 0) + addressDigits);
  if (rest == "?") return sensor ? 5 : 1;
  if (rest.size() != (sensor ? 5u : 3u) || rest.front() != '=') throw "register sequence: malformed item";
  HexValue(rest.substr(1));
  return sensor ? 5 : 1;
}

constexpr std::size_t CountRequests(std::string_view text) {
  std::size_t count = 0;
  ForEachItem(text, [&](std::string_view item) { count += ItemRequests(item); });
  return count;
}

template <std::size_t Capacity>
constexpr void AppendItem(RegisterSequence<Capacity>& sequence, std::string_view item) {
  ItemRequests(item);
  if (item.front() == 'S') {
    const auto reg = static_cast<uint8_t>(HexValue(item.substr(1, 2)));
    if (item[3] == '?')
      sequence.SensorRead(reg);
    else
      sequence.SensorWrite(reg, static_cast<uint16_t>(HexValue(item.substr(4))));
  } else {
    const auto reg = static_cast<uint16_t>(HexValue(item.substr(0, 3)));
    if (item[3] == '?')
      sequence.Read(reg);
    else
      sequence.Write(reg, static_cast<uint8_t>(HexValue(item.substr(4))));
  }
}

}  // namespace sequence_notation

template <SequenceText Text>
consteval auto ExpandSequence() {
  RegisterSequence<sequence_notation::CountRequests(Text.View())> sequence;
  sequence_notation::ForEachItem(Text.View(),
                                 [&](std::string_view item) { sequence_notation::AppendItem(sequence, item); });
  return sequence;
}

// One item exchanged for another of the same length in the same place, e.g. the
// 640 x 480 variant of a 320 x 240 table: {"002=10", "002=00"}.
struct ItemChange {
  std::string_view from;
  std::string_view to;
};

// A copy of the text with every change applied; each `from` must occur exactly once.
template <std::size_t N, std::size_t K>
consteval SequenceText<N> ReplaceItems(const SequenceText<N>& base, const ItemChange (&changes)[K]) {
  SequenceText<N> result = base;
  for (const ItemChange& change : changes) {
    if (change.from.size() != change.to.size()) throw "item change: lengths differ";
    std::size_t found = 0;
    std::size_t at = 0;
    sequence_notation::ForEachItem(base.View(), [&](std::string_view item) {
      if (item == change.from) {
        ++found;
        at = static_cast<std::size_t>(item.data() - base.text);
      }
    });
    if (found != 1) throw "item change: item not found exactly once";
    for (std::size_t i = 0; i < change.to.size(); ++i) result.text[at + i] = change.to[i];
  }
  return result;
}
