#pragma once

// A span of UTF-16 code units (or of any sequence): location plus length.
// A plain value; any thread.
struct CVRange {
    int location = 0;
    int length = 0;

    constexpr int end() const { return location + length; }
    constexpr bool contains(int index) const { return index >= location && index < end(); }
    constexpr bool operator==(const CVRange&) const = default;
};
