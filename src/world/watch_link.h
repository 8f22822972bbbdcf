// A round's link on the world table, `<board>/watch/<id>`: the address a player shares,
// which the board's watch page plays and `blockdash --replay` accepts.
// Thread: any; download_linked_replay waits on the network, so only before the game's
// first frame (the command line).
#pragma once

#include <string>

// The link of round `id` on the board at `board_url`; empty when either is empty.
std::string watch_link(const std::string& board_url, const std::string& id);

// True when `text` is a web address (http:// or https://) rather than a file's path.
bool is_web_address(const std::string& text);

// The address of the replay a watch link names: `<board>/api/v1/replays/<id>`. False for an
// address that is no watch link.
bool replay_address_of(const std::string& link, std::string* replay_address);

// Downloads the replay a watch link names. False with a sentence in `why`.
bool download_linked_replay(const std::string& link, std::string* bytes, std::string* why);
