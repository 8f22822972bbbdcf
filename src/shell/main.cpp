// The game: start-up, the screen-state loop, shut-down.
#include <allegro.h>

#include "shell/host.h"
#include "shell/lifecycle.h"
#include "shell/screen_loop.h"

int main() {
    use_real_host();
    if (!start_up()) return 1;
    run_screen_loop();
    return shut_down() ? 0 : 1;
}
END_OF_MAIN()
