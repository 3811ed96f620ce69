#pragma once
// Reader of foreign ".cnp" panel descriptions: line-oriented text in which
// each element line names a control, its place and size, its parameters and
// its caption. The reader turns the file into element records; the panel
// maps each element to one of its own item kinds and places it. Nothing is
// written in this format.
#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

struct CnpElement
{
    QByteArray name;
    // Left, top, width and height in pixels.
    int numbers[4] = {0, 0, 0, 0};
    // p1 to p5.
    std::array<QByteArray, 5> params;
    // The caption, decoded from Shift-JIS; has_text is false when the line
    // carried none (as opposed to an empty one).
    bool has_text = false;
    QString text;
    // An "EnvVar:" field in p2, p3 or p4: the widget is named after p1.
    bool names_widget = false;
    // The variable after "EnvVar:" (only logged: no binding is made from it).
    QByteArray variable;

    // The item kind the element becomes; empty for an element that gives none.
    QString item_kind() const;
    // A p2 that begins with ':' is a mode flag: a line edit loses its text
    // (and its mode with ":1"), other elements keep theirs.
    bool mode_flag() const { return params[1].startsWith(':'); }
    bool resets_mode() const { return params[1] == ":1"; }
};

struct CnpDescription
{
    // -1 while the file had no version line.
    int version = -1;
    // From the "VPanel" line: its caption and the panel's size.
    bool has_panel = false;
    bool has_caption = false;
    QString caption;
    int panel_width = 0;
    int panel_height = 0;
    // The elements that give an item, in file order (only with a version above 0).
    std::vector<CnpElement> elements;
};

// Reads the file whole; 0, or -2 when it cannot be read (the panel reports
// that). Lines of any length are taken whole, continuations of
// "ElemPanelCtrlBN" joined ones too.
int read_cnp_file(const QString &path, CnpDescription &description);
