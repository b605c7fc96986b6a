#!/usr/bin/env bash
# Writes the small seed inputs of each fuzz target into fuzz/corpus/NAME/. The seeds are
# committed; run this again after changing it. Binary seeds are spelled out with printf.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
seed() { mkdir -p "$1"; printf '%b' "$3" > "$1/$2"; }

cue='FILE "a.bin" BINARY\n  TRACK 01 AUDIO\n    TITLE "One"\n    PERFORMER "Band"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 00 00:00:10\n    INDEX 01 00:00:20\n'
seed cue_sheet audio.cue "TITLE \"Album\"\nPERFORMER \"Band\"\n$cue"
seed cue_sheet mixed.cue 'FILE "d.bin" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n  POSTGAP 00:02:00\nFILE "a.bin" BINARY\n  TRACK 02 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:00:00\n'
seed cue_sheet mode2.cue 'FILE "m.bin" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n  TRACK 02 MODE1/2352\n    INDEX 01 00:01:00\n'
# cue_image: the sheet, a NUL, then two length bytes and the fill for each file.
seed cue_image audio "TITLE \"Album\"\nPERFORMER \"Band\"\n$cue\0\x1c\x7e\x01\x02\x03"
seed cue_image ragged 'FILE "a.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n\0\x09\x31\xaa'
seed cue_image data 'FILE "d.bin" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\nFILE "a.bin" BINARY\n  TRACK 02 AUDIO\n    PREGAP 00:00:30\n    INDEX 01 00:00:00\n\0\x90\x00\x09\x30CD001'

# drive_replies: per command a flags byte (1 GOOD, 2 sense follows), a 2-byte length, the reply.
inquiry='\x01\x00\x24\x05\x80\x00\x32\x1f\x00\x00\x00KORVANE VIRTUAL CD      1.00'
seed drive_replies all_good "$inquiry"'\x01\x00\x00\x01\x00\x0c\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01\x00\x1a\x00\x18\x00\x00\x00\x00\x00\x00\x2a\x12\x00\x00\x00\x00\x00\x00\x1b\x90\x00\x00\x00\x00\x00\x00\x1b\x90\x02\x00\x00\x00\x00\x01\x00\x08\x00\x05\x3e\x7f\x00\x00\x08\x00'
seed drive_replies no_medium "$inquiry"'\x02\x00\x00\x70\x00\x02\x00\x00\x00\x00\x0a\x00\x00\x00\x00\x3a\x00\x00\x00\x00\x00\x00'
seed drive_replies data_disc "$inquiry"'\x01\x00\x00\x01\x00\x0c\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x01\x00\x00\x00\x00\x01\x00\x00\x01\x00\x00\x01\x00\x14\x00\x12\x01\x01\x00\x14\x01\x00\x00\x00\x02\x00\x00\x14\xaa\x00\x00\x00\x20\x00\x00\x01\x00\x30\x01CD001\x01\x00PLAIN                           MY DISC'

# drive_toc: READ TOC format 0 with MSF addresses: two audio tracks and the lead-out.
seed drive_toc two_tracks '\x00\x1a\x01\x02\x00\x10\x01\x00\x00\x00\x02\x00\x00\x10\x02\x00\x00\x03\x1e\x00\x00\x10\xaa\x00\x00\x07\x00\x00'
seed drive_toc data_first '\x00\x12\x01\x01\x00\x14\x01\x00\x00\x00\x02\x00\x00\x14\xaa\x00\x00\x20\x00\x00'
# drive_cdtext: a track count, then READ TOC format 5 with title packs.
seed drive_cdtext titles '\x02\x00\x38\x00\x00\x80\x00\x00\x00Album\0One\0\x00\x00\x00\x00\x00\x80\x01\x01\x04Two\0\0\0\0\0\0\0\0\0\x00\x00\x81\x00\x02\x00Band\0\0\0\0\0\0\0\0\x00\x00'

seed fault_list always '150,151,2000'
seed fault_list counted '150:2, 300:1,4500'
seed fault_list wrong_audio '150~2, 300:1'
seed track_list ranges '\x0c1,3-5,12'
seed track_list one '\x011'

ini='[General]\nFormatSelected=11012\nLanguage=\nDevice=[vcd0] KORVANE VIRTUAL CD\n\n[MP3]\nIsVBR=1\n'
seed ini_fuzzer korvane.ini "$ini"
seed ini_fuzzer utf16 '\xff\xfe[\x00A\x00]\x00\n\x00k\x00=\x00v\x00\n\x00'
seed disc_cache cached '\x03[7A0B5C0D]\nDisc_Title=Album\nDisc_Artist=Band\nDisc_Year=1999\nTrack_1=One\nTrack_2=Two\n'
# A section ending in a broken line, and titles that reading would strip of quotes or blanks.
seed disc_cache broken_tail '\307[7A0B5C0D]\nDisc_Title=Album\nDisc_Artist=Band\nDisc_Year<1990\nTrac\206\220'
seed disc_cache quoted '\003[7A0B5C0D]\nDisc_Title=""Heroes""\nDisc_Artist=\x27 Band \x27\nTrack_1=" One"\n'
seed disc_cache various '\x02[7A0B5C0D]\nVA=1\nArtist_1=First\nArtist_2=Second\nTrack_1=One\n[00000000]\nTrack_1=x\n'
seed language_file deutsch '[Translation]\nLanguageName=Deutsch\n4001=Datei\n4002=Bearbeiten{RN}Zeile\n'
seed language_file bare '[Translation]\n1=x\n'

seed freedb_entry entry '\x02# xmcd\n#\nDISCID=7a0b5c0d\nDTITLE=Band / Album\nDYEAR=1999\nDGENRE=Rock\nTTITLE0=One\nTTITLE1=Two\nEXTD=\nEXTT0=\nEXTT1=\nPLAYORDER=\n.\n'
seed freedb_entry various '\x02DTITLE=Various / Mix\nTTITLE0=First / One\nTTITLE1=Second / Two\nTTITLE1= more\n.\n'
seed freedb_answer exact '\x04200 rock 7a0b5c0d Band / Album\r\n'
seed freedb_answer close '\x07211 close matches found\r\nrock 7a0b5c0d Band / Album\r\nmisc 7a0b5c0e Band / Other\r\n.\r\n'
# accuraterip_answer: dBAR responses (track count, a, b, c little-endian; per track confidence,
# checksum, offset-finding checksum), the first naming the disc asked for.
arhead='\x02\x98\x3a\x00\x00\x09\xcf\x00\x00\x02\xa2\x01\x05'
artracks='\x0c\x11\x11\x11\x11\x00\x00\x00\x00\x00\x22\x22\x22\x22\x00\x00\x00\x00'
seed accuraterip_answer two_responses "$arhead$artracks$arhead$artracks"
seed accuraterip_answer truncated "$arhead"'\x0c\x11\x11'
seed freedb_answer none '\x01202 No match found\r\n'

# proxy_reply: the first byte chooses type (low bits + 1), authentication 0x10, name 0x20, bind 0x40.
seed proxy_reply socks4 '\x00\x00\x5a\x00\x00\x00\x00\x00\x00'
seed proxy_reply socks4_bind '\x40\x00\x5a\x1f\x90\x0a\x00\x00\x07\x00\x5a\x00\x00\x00\x00\x00\x00'
seed proxy_reply socks5_auth '\x12\x05\x02\x01\x00\x05\x00\x00\x01\x7f\x00\x00\x01\x22\xb0'
seed proxy_reply socks5_bind_name '\x42\x05\x00\x05\x00\x00\x03\x05proxy\x1f\x90\x05\x00\x00\x01\x7f\x00\x00\x01\x30\x39'
seed proxy_reply http '\x03HTTP/1.1 200 Connection established\r\nProxy-Agent: x\r\n\r\n'
seed proxy_reply http_refused '\x13HTTP/1.0 407 Proxy Authentication Required\r\n\r\n'
# rip_naming: UTF-16 texts (title, artist, album, template) split at U+FFFF.
seed rip_naming plain 'O\0n\0e\0\xff\xffB\0a\0n\0d\0\xff\xffA\0l\0b\0u\0m\0\xff\xff%\0A\0/\0%\0T\0'
seed rip_naming dots '.\0.\0\xff\xff/\0.\0\xff\xff \0.\0\xff\xff%\0N\0'

# musicbrainz_release: a track count, then a discid answer with the disc "disc" on a box's CD.
seed musicbrainz_release box '\x03{"releases":[{"id":"r","title":"T","date":"2001-02","artist-credit":[{"name":"A","joinphrase":" & ","artist":{"id":"a"}},{"name":"B"}],"genres":[{"name":"rock","count":2}],"media":[{"format":"DVD-Video"},{"format":"CD","discs":[{"id":"x"}]},{"format":"CD","discs":[{"id":"disc"}],"tracks":[{"id":"t","title":"One","recording":{"id":"q"},"artist-credit":[{"name":"C"}]}]}]}]}'
seed musicbrainz_release empty '\x01{"releases":[]}'
