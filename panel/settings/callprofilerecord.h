#pragma once

#include <QString>

#include <cstdint>

#include "link/valuetext.h"

// A stored call profile of the unit as the Book menus edit and load it: the
// network to call over, the coding and up to two remote numbers, plus where
// the editor got it from.
class CallProfileRecord
{
public:
    CallProfileRecord() = default;
    CallProfileRecord(const CallProfileRecord& other);
    CallProfileRecord& operator=(const CallProfileRecord& other);

    void assign(const CallProfileRecord& other);
    void reset();
    // A known interface class, a name, and a coding or a remote address.
    bool isValid() const;
    // What is stored on the unit; where the record came from takes no part.
    bool operator==(const CallProfileRecord& other) const;
    bool operator!=(const CallProfileRecord& other) const { return !(*this == other); }

    std::int32_t origin = -1;    // 0 once prepared for the editor
    std::int32_t entryId = -1;   // the list row's item id; below 306: not stored yet
    std::int32_t openedFor = -1; // 19 / 20: opened from line 1's / line 2's book button
    std::int32_t network = 0x100;
    std::int32_t lines = -1;     // bit 0 line 1, bit 1 line 2
    std::int32_t codecMode = 0;
    std::int32_t coordMode = 0;
    CodecConfig coding;
    QString name;
    QString remoteAddress;
    QString secondRemoteAddress;
};
