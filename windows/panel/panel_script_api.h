#pragma once
// The panel functions of the script language: eleven natives with which an
// interface's script finds panel items by name and gets or sets their text,
// value and data by id. They work on the items' value stores (keys 0 text,
// 1 value, 3 data); the panels copy changed values into the widgets on their
// update timer. Linking the panel library installs them for every
// interface's script (VyrPanel::register_script_api).

// The header that declares the eleven functions.
const char *panel_script_header();
