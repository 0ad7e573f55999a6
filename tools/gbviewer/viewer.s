; SPDX-License-Identifier: MIT
;
; The demo cartridge's map viewer: a Game Boy program that shows the maps of
; the cartridge it runs from, as the console draws them.
;
; A map byte b names tile (b XOR 0x80) of its entry's tile range, which is
; the console's own signed tile addressing (LCDC bit 4 clear): the range goes
; to VRAM 0x8800-0x97FF unchanged and the map's 32-byte rows to the
; background map at 0x9800. The screen shows the map and nothing else.
;
; Keys: the d-pad scrolls one cell (8 pixels) a frame while held, kept on the
; map (x 0 to 96, y 0 to rows * 8 - 144); A shows the next map of the table,
; B the previous one, each once a press, at view (0, 0). The first map shown
; is the first entry flagged to start with (the editor's Test-play flags the
; map being edited), else entry 0.
;
; The map table below is empty here: quill2-maptool's demo-rom fills it from
; the editor's catalogue. Maps and tiles are read from the cartridge each
; time a map is shown, so edits made to the file show.
;
; Build: sdasgb -o viewer.rel viewer.s; sdldgb -n -i viewer.ihx viewer.rel;
; makebin -Z -yt 1 -yo 32 -yj -yn QUILLMOOR2 viewer.ihx viewer.gb

        .module viewer

; Registers, as offsets from 0xFF00 for ldh.
P1      = 0x00          ; joypad: write the row, read the keys (0 = pressed)
LCDC    = 0x40
SCY     = 0x42
SCX     = 0x43
LY      = 0x44
BGP     = 0x47
ROMBANK = 0x2000        ; MBC1: the 16 KiB bank seen at 0x4000-0x7FFF

LCD_ON  = 0x81          ; LCD and background on, tiles 0x8800 signed, map 0x9800
PALETTE = 0xE4          ; colour n is shade n: 0 white to 3 black

; Work RAM.
map_index = 0xC000      ; the table entry shown
view_x  = 0xC001
view_y  = 0xC002
max_y   = 0xC003
held    = 0xC004        ; keys held at the last frame (bits as read_keys)
bank    = 0xC005        ; the bank copy_range reads from

; A table entry: where its map and its tiles lie. A place is a bank and an
; address: 0x4000-0x7FFF in that bank, or below 0x4000 (in bank 0, read
; with bank 1 selected). A copy that runs past 0x7FFF goes on in the next bank.
E_MAP   = 0             ; map: bank, address, length (1 + 2 + 2 bytes)
E_MAX_Y = 5             ; the largest view y: rows * 8 - 144
E_TILES = 6             ; tiles: bank, address, length
E_FLAGS = 11            ; bit 0: show this map first
E_SIZE  = 16

        .area _HEADER (ABS)

        .org 0x0100
        nop
        jp start

        ; 0x0104-0x014F: the cartridge header, written by makebin.

        .org 0x0150
table:  .ascii "MAPS"   ; demo-rom looks for this mark
        .db 32          ; room for this many entries
map_count:
        .db 0           ; entries in use
entries:
        .ds 32 * E_SIZE

start:
        di
        ld sp, #0xE000
        call first_map
        ld (map_index), a
        xor a
        ld (held), a
        call load_map

main_loop:
        call wait_vblank
        call read_keys
        ld b, a                 ; b: held now
        ld a, (held)
        cpl
        and b
        ld c, a                 ; c: pressed since the last frame
        ld a, b
        ld (held), a
        ld a, (map_count)
        or a
        jr z, main_loop
        bit 4, c
        jr nz, next_map
        bit 5, c
        jr nz, previous_map
        call scroll
        jr main_loop

next_map:
        ld a, (map_count)
        ld d, a
        ld a, (map_index)
        inc a
        cp d
        jr c, 1$
        xor a
1$:     ld (map_index), a
        call load_map
        jr main_loop

previous_map:
        ld a, (map_index)
        or a
        jr nz, 1$
        ld a, (map_count)
1$:     dec a
        ld (map_index), a
        call load_map
        jr main_loop

; a: the entry to show first: the first in use whose E_FLAGS has bit 0 set,
; else 0.
first_map:
        ld a, (map_count)
        or a
        ret z
        ld b, a                 ; b: entries left to look at
        ld c, #0                ; c: the index of the entry at hl
        ld hl, #entries + E_FLAGS
        ld de, #E_SIZE
1$:     bit 0, (hl)
        jr nz, 2$
        add hl, de
        inc c
        dec b
        jr nz, 1$
        xor a
        ret
2$:     ld a, c
        ret

; Waits for the start of the next vertical blank (line 144).
wait_vblank:
1$:     ldh a, (LY)
        cp #144
        jr z, 1$
2$:     ldh a, (LY)
        cp #144
        jr nz, 2$
        ret

; a: the keys held, 1 = held. Bits 0-3 right, left, up, down;
; 4-7 A, B, select, start.
read_keys:
        ld a, #0x20             ; the d-pad row
        ldh (P1), a
        ldh a, (P1)
        ldh a, (P1)
        cpl
        and #0x0F
        ld b, a
        ld a, #0x10             ; the button row
        ldh (P1), a
        ldh a, (P1)
        ldh a, (P1)
        ldh a, (P1)
        ldh a, (P1)
        cpl
        and #0x0F
        swap a
        or b
        ld b, a
        ld a, #0x30
        ldh (P1), a
        ld a, b
        ret

; Moves the view one cell in each direction held in b, kept on the map.
scroll:
        ld a, (view_x)
        bit 0, b                ; right
        jr z, 1$
        add a, #8
        cp #97
        jr c, 1$
        ld a, #96               ; 256 - 160
1$:     bit 1, b                ; left
        jr z, 2$
        sub a, #8
        jr nc, 2$
        xor a
2$:     ld (view_x), a
        ldh (SCX), a
        ld a, (max_y)
        ld c, a
        ld a, (view_y)
        bit 3, b                ; down
        jr z, 3$
        add a, #8
        cp c
        jr c, 3$
        ld a, c
3$:     bit 2, b                ; up
        jr z, 4$
        sub a, #8
        jr nc, 4$
        xor a
4$:     ld (view_y), a
        ldh (SCY), a
        ret

; Shows entry map_index at view (0, 0): its tiles and map are copied with
; the LCD off, which may only be switched off in vertical blank.
load_map:
        ld a, (map_count)
        or a
        ret z
        call wait_vblank
        xor a
        ldh (LCDC), a
        ld a, (map_index)
        ld l, a
        ld h, #0
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl              ; * E_SIZE
        ld de, #entries
        add hl, de
        push hl
        ld de, #E_TILES
        add hl, de
        ld de, #0x8800
        call copy_range
        pop hl
        push hl
        ld de, #0x9800
        call copy_range         ; E_MAP
        pop hl
        ld de, #E_MAX_Y
        add hl, de
        ld a, (hl)
        ld (max_y), a
        xor a
        ld (view_x), a
        ld (view_y), a
        ldh (SCX), a
        ldh (SCY), a
        ld a, #PALETTE
        ldh (BGP), a
        ld a, #LCD_ON
        ldh (LCDC), a
        ret

; Copies the place at hl (bank, address, length) to de.
copy_range:
        ld a, (hl+)
        ld (bank), a
        ld (ROMBANK), a
        ld a, (hl+)
        ld c, a
        ld a, (hl+)
        ld b, a                 ; bc: address
        ld a, (hl+)
        ld h, (hl)
        ld l, a                 ; hl: length
        push hl
        ld h, b
        ld l, c
        pop bc                  ; hl: address, bc: length
        ld a, b
        or c
        ret z
1$:     ld a, (hl+)
        ld (de), a
        inc de
        bit 7, h                ; past 0x7FFF: on in the next bank
        jr nz, 3$
2$:     dec bc
        ld a, b
        or c
        jr nz, 1$
        ret
3$:     ld h, #0x40
        ld a, (bank)
        inc a
        ld (bank), a
        ld (ROMBANK), a
        jr 2$
