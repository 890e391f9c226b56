// Icons: the desktop theme's where it has them, else our own, drawn here
// so that the program needs no image files at run time.
#pragma once

#include <QIcon>

namespace corvid {

enum class ToolIcon { Open, Save, Cut, Copy, Paste, About };

// The theme icon (document-open, document-save, edit-cut, edit-copy,
// edit-paste, help-about) or the bundled drawing.
QIcon ToolBarIcon(ToolIcon which);
// The theme's "corvid" icon (installed with the program) or the bundled one.
QIcon ApplicationIcon();

}  // namespace corvid
