// Found first by the round's rules (blockdash_round): they draw nothing and need no
// graphics library, so the board and the browser's module can run them.
#error "the round's rules include no Allegro header; reach the picture through play/round_shell.h"
