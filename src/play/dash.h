// The player's one action: the click, the wind-up, the walk along the line to the target
// with its hit test, and the fall back to the floor.
#pragma once

// Source x of each pose in the player's sheet (player_panel).
enum : int { pose_dash = 0, pose_standing = 64, pose_falling = 128 };

// The pose the player is drawn in from now until the next.
void show_pose(int pose);

// Frame steps, in the order play_frame calls them.
void start_dash();             // a new left click starts the wind-up
void release_mouse_latch();    // no button down: the next press may dash again
void time_dash();              // wind-up count, start of the walk, arrival
void walk_dash();              // up to 72 points of the line per frame
void apply_gravity();          // once the hang time is over
void keep_player_in_bounds();  // floor, then the side walls

// One point of the walk: moves the player there and cuts what it hits.
void dash(int x, int y);

// Lowest active slot whose centre is strictly within d of the player on both axes,
// or 20 when there is none.
int is_hit(int d);

// Classifies the whole dash into the slot's cut_dir and starts its pieces.
void cut_object(int slot);
