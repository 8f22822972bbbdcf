// The title menu: logo, four buttons and a notice line.
#pragma once

#include "ui/buttons.h"

extern clicky scores_button;
extern clicky credits_button;

extern const char* const title_notice;

void enter_title_menu();
void title_menu_frame();

// Composes the menu into `dest` without the aim cursor.
void draw_title_menu(BITMAP* dest);
