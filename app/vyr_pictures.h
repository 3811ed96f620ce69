#pragma once
// The program's built-in pictures, painted in code.
#include <QIcon>
#include <QPixmap>

// The 32x32 window icon.
QIcon program_icon();
// The picture of the splash window.
QPixmap splash_picture();
