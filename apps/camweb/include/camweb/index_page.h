// The web page, built into the program from page/index.html.
#pragma once

extern const char kIndexPage[];
