#include "records/record_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "records/record_columns.h"

namespace vantrel {
namespace {

// One character of the input: how many bytes it takes and how many it
// becomes.
struct Unit {
    std::size_t in = 1;
    std::size_t out = 1;
    bool escaped = false;
};

constexpr std::size_t kEscapeSize = 4;  // "\xNN"

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 character starting at `at`, or 0 when the
// bytes there do not form one (overlong forms and surrogates included).
std::size_t Utf8Length(std::string_view raw, std::size_t at) {
    const auto byte = [&](std::size_t offset) {
        return static_cast<unsigned char>(raw[at + offset]);
    };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > raw.size() || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t offset = 2; offset < length; ++offset) {
        if (!IsContinuation(byte(offset))) {
            return 0;
        }
    }
    return length;
}

Unit NextUnit(std::string_view raw, std::size_t at) {
    const auto lead = static_cast<unsigned char>(raw[at]);
    if (lead < 0x80) {
        const bool control =
            (lead < 0x20 && lead != '\n' && lead != '\r' && lead != '\t') || lead == 0x7F;
        return control ? Unit{1, kEscapeSize, true} : Unit{};
    }
    const std::size_t length = Utf8Length(raw, at);
    if (length == 0) {
        return {1, kEscapeSize, true};
    }
    // U+0080 to U+009F: C1 controls, which some terminals obey.
    if (lead == 0xC2 && static_cast<unsigned char>(raw[at + 1]) < 0xA0) {
        return {2, 2 * kEscapeSize, true};
    }
    return {length, length, false};
}

void AppendUnit(std::string& out, std::string_view raw, std::size_t at, const Unit& unit) {
    if (!unit.escaped) {
        out.append(raw.substr(at, unit.in));
        return;
    }
    for (std::size_t i = 0; i < unit.in; ++i) {
        char escape[kEscapeSize + 1];
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(raw[at + i]));
        out.append(escape, kEscapeSize);
    }
}

std::string CutMarker(std::size_t cutBytes) {
    return "\n[... " + std::to_string(cutBytes) + " bytes cut ...]\n";
}

// The escaped size of raw[from, end).
std::size_t EscapedSize(std::string_view raw, std::size_t from) {
    std::size_t size = 0;
    for (std::size_t at = from; at < raw.size();) {
        const Unit unit = NextUnit(raw, at);
        size += unit.out;
        at += unit.in;
    }
    return size;
}

// Appends the units from `at` on while they fit into `budget` bytes; returns
// where it stopped.
std::size_t AppendWithin(std::string& out, std::string_view raw, std::size_t at,
                         std::size_t budget) {
    std::size_t used = 0;
    while (at < raw.size()) {
        const Unit unit = NextUnit(raw, at);
        if (used + unit.out > budget) {
            break;
        }
        AppendUnit(out, raw, at, unit);
        used += unit.out;
        at += unit.in;
    }
    return at;
}

}  // namespace

std::string SafeText(std::string_view raw, std::size_t cap) {
    std::string out;
    if (EscapedSize(raw, 0) <= cap) {
        out.reserve(raw.size());
        AppendWithin(out, raw, 0, cap);
        return out;
    }
    // The marker's size with the most digits it can need, so that the whole
    // fits whatever is cut.
    const std::size_t markerSize = CutMarker(raw.size()).size();
    if (cap < 2 * markerSize) {
        AppendWithin(out, raw, 0, cap);
        return out;
    }
    const std::size_t budget = cap - markerSize;
    const std::size_t headBudget = budget / 2;
    const std::size_t tailBudget = budget - headBudget;
    out.reserve(cap);
    const std::size_t headEnd = AppendWithin(out, raw, 0, headBudget);

    // Every unit becomes at least as many bytes as it takes, so the tail
    // starts no earlier than this; from there, skip the rest of a character
    // cut in two, then whole units until the tail fits.
    std::size_t tailStart = raw.size() > tailBudget ? raw.size() - tailBudget : 0;
    tailStart = std::max(tailStart, headEnd);
    for (int skipped = 0; skipped < 3 && tailStart < raw.size() && tailStart > headEnd &&
                          IsContinuation(static_cast<unsigned char>(raw[tailStart]));
         ++skipped) {
        ++tailStart;
    }
    std::size_t tailSize = EscapedSize(raw, tailStart);
    while (tailSize > tailBudget) {
        const Unit unit = NextUnit(raw, tailStart);
        tailSize -= unit.out;
        tailStart += unit.in;
    }
    out += CutMarker(tailStart - headEnd);
    AppendWithin(out, raw, tailStart, tailBudget);
    return out;
}

UnitRecord SafeRecord(UnitRecord record) {
    for (const RecordColumn& column : kRecordColumns) {
        if (column.Kind() == ColumnKind::kText) {
            std::string& text = column.Of<std::string>(record);
            text = SafeText(text, column.textCap);
        }
    }
    return record;
}

}  // namespace vantrel
