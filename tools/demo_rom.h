// SPDX-License-Identifier: MIT
#pragma once
// The demo ROM: a synthetic cartridge image that the editor opens without a
// warning, for a first look at the editor and as the image tests and
// benchmarks are built on. Its first bank holds the map viewer (tools/gbviewer,
// a Game Boy program that shows the maps: A and B change map, the d-pad
// scrolls) with its header and a map table made from the catalogue; then come
// drawn tiles in every tile range of the built-in map catalogue and a laid-out
// map at every map offset. Every other byte is 0 (0xFF in the viewer's bank,
// as makebin leaves it). Offsets and map names come from the built-in
// catalogue text, so the image follows it if it changes.
//
// All tile ranges share one arrangement of their 256 tiles, so a map reads
// the same whichever of them it is drawn with; each range has its own theme
// (sky, grey shades, brick style) so that they can be told apart:
//   0-31    terrain: sky, clouds, grass, ground, bricks, planks, water,
//           ladder, stones, trees, bushes, doors, box borders, houses, ...
//   32-95   characters at their ASCII codes: space, punctuation, 0-9, A-Z
//   96-111  objects: meadow, lantern, apple, star, anchor, gear, crown, ...
//   128-255 tile t - 128 in reversed shades (white letters on black, ...)
// Unused places hold the sky tile. A map byte names tile byte XOR 0x80, so
// the reversed letters are the map bytes equal to their ASCII codes.

#include "app/Rom.h"

namespace q2 {

// 524,288 bytes, the same on every call.
RomImage MakeDemoRom();

} // namespace q2
