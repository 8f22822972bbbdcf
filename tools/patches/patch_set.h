// Choosing the instruments for Allegro's software synthesiser (DIGMID): what a MIDI piece
// plays, where a TiMidity-style index finds those patches, and the index DIGMID reads.
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <set>
#include <string>
#include <vector>

// What a piece asks the synthesiser for, in General MIDI numbers.
struct PatchNeeds {
    std::set<int> programs;  // counted from 0
    std::set<int> drums;     // note numbers played on channel 10
};

// Reads a Standard MIDI File. A melodic channel that plays without a program change
// plays program 0, as every synthesiser assumes. Returns an empty string or the fault.
std::string scan_midi(const std::vector<std::uint8_t>& bytes, PatchNeeds& needs);

// A TiMidity patch index as Debian's freepats ships it: "dir" lines, "bank 0" for the
// programs and "drumset 0" for the drums. Other banks and kits, options after the file
// name and keywords we do not need are skipped.
struct PatchLibrary {
    std::vector<std::string> dirs;  // in the order the index adds them
    std::map<int, std::string> programs;
    std::map<int, std::string> drums;
};

std::string read_timidity_index(std::istream& in, PatchLibrary& library);

// DIGMID numbers differently from TiMidity: programs count from 1, and the drums sit in
// a "129-256 begin_multipatch" block under their note numbers. Values are file names
// relative to the index.
std::string digmid_index(const std::map<int, std::string>& programs, const std::map<int, std::string>& drums);
