#pragma once
// The small widgets of the main window: the workspace page, the tab bar
// above the pages, the status-bar field with a fixed prefix, the socket that
// the help window connects to, and the application style.
#include <QLabel>
#include <QMdiArea>
#include <QProxyStyle>
#include <QTabBar>
#include <QLocalServer>

// A workspace page: windows live in it; a right click on its background
// (not on a window) asks for its menu.
class VyrWorkspace : public QMdiArea
{
    Q_OBJECT

public:
    VyrWorkspace(QWidget *parent, const char *name);

signals:
    void right_button_pressed(const QPoint &global_position);

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

// The workspace tabs; each tab carries its workspace id as tab data.
class VyrTabBar : public QTabBar
{
    Q_OBJECT

public:
    VyrTabBar(QWidget *parent, const char *name);

    // The workspace id of the tab at the index, or -1.
    int workspace_id(int index) const;
    void set_workspace_id(int index, int id);

signals:
    // The workspace id of the current tab, after a left double click.
    void double_clicked(int workspace_id);

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

// A status-bar field "<prefix> <b>text</b>" on one line: a text too long for
// the width is shortened from the front to "..." and its last characters
// (never below 5 of them); when even that does not fit, the prefix alone.
class VyrPrefixLabel : public QLabel
{
    Q_OBJECT

public:
    VyrPrefixLabel(const QString &prefix, QWidget *parent);

    void setText(const QString &text);
    const QString &shown_text() const { return m_shown_text; }

    QSize sizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void lay_out();
    void set_label_text();

    const QString m_prefix;
    QString m_full_text;
    QString m_shown_text;
    int m_last_width = -1;
    int m_line_height = -1;
    int m_laid_out_width = -1; // the width the text was last laid out for
};

// The socket the help window connects to: a local socket,
// vyr-help-<pid>.sock in the user's runtime directory (a folder of the
// user's alone), that takes connections of processes of the same user only;
// another user's is closed at once. It goes with the object.
class VyrListenSocket : public QLocalServer
{
    Q_OBJECT

public:
    VyrListenSocket(int backlog, QObject *parent, const char *name);

signals:
    void connected(VyrListenSocket *socket, qintptr descriptor);

protected:
    void incomingConnection(quintptr descriptor) override;
};

// The program's style: the classic style with 20-pixel title bars and
// 3-pixel frames for the windows of a workspace.
class VyrWindowsStyle : public QProxyStyle
{
    Q_OBJECT

public:
    VyrWindowsStyle();
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
};
