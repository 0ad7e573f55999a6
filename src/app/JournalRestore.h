// SPDX-License-Identifier: MIT
#pragma once
// Offering back the journal of unsaved edits (Journal.h) found beside a ROM
// file just opened: what it holds is checked against the file and the list
// of maps, the user is asked, and its steps go into the history of the map
// loaded anew, so that they can be undone one by one.

#include "app/Catalogue.h"
#include "app/EditHistory.h"
#include "app/EditJournal.h"
#include "app/Journal.h"
#include "app/Rom.h"
#include "map/MapGrid.h"
#include "map/MapRender.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace q2 {

// The bytes of the map of entry in image; empty when they do not all lie in it.
std::span<const uint8_t> MapBytes(const RomImage& image, const MapEntry& entry);

// What a journal begun now records: the ROM file at romPath, map and the hash
// of its bytes as the file holds them (onDisk).
JournalHeader JournalHeaderFor(const std::string& romPath, int16_t map, const RomImage& onDisk,
                               const MapCatalogue& catalogue);

// The journal at journalPath checked against the ROM file at romPath, whose
// bytes are rom. Asks nothing and changes nothing.
struct JournalCheck {
    enum class Verdict {
        None,     // no journal there
        Refused,  // unreadable, another file's, or a map not in the list: reason
        Empty,    // begun, but no step reached it
        Stale,    // the map has changed in the file since: index
        Offered,  // can be restored: all below
    };
    Verdict verdict = Verdict::None;
    std::string reason;
    Journal journal;
    int16_t index = 0;
    MapGrid model;    // the map as the file holds it, with the steps replayed
    int cells = 0;    // the cells the steps changed
    std::string when; // when the journal was begun, local time
};
JournalCheck CheckJournal(const std::string& journalPath, const std::string& romPath, const RomImage& rom,
                          const MapCatalogue& catalogue);

// The editor as a restore needs it.
struct JournalRestoreWiring {
    const std::string& romPath;
    const RomImage& rom;
    const MapCatalogue& catalogue;
    EditHistory& history;
    const MapGrid& grid;
    EditJournal& journal;
    // Loads map index without asking about unsaved edits; false when it did not.
    std::function<bool(int16_t index)> load;
    std::function<MapCellPainter()> painter;
    // The steps are in: the map's picture shown as it is now.
    std::function<void()> shown;
};
// A journal of unsaved edits to the ROM file just opened: offered back, set
// aside at the user's word, or said why it cannot be used.
void OfferJournal(const JournalRestoreWiring& editor);

} // namespace q2
