#include "app/vyr_main_widgets.h"

#include "platform/runtime_directory.h"
#include "settings/debug_trace.h"

#include <QMouseEvent>
#include <QStyleFactory>

#include <sys/socket.h>
#include <unistd.h>

VyrWorkspace::VyrWorkspace(QWidget *parent, const char *name) : QMdiArea(parent)
{
    setObjectName(QString::fromLatin1(name));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void VyrWorkspace::mousePressEvent(QMouseEvent *event)
{
    // Presses that a data window's widgets leave unaccepted come here too,
    // through the window's frame: only a press on the background is the
    // workspace's own, or the workspace menu would take the place of the
    // window's own context menu.
    if (event->button() == Qt::RightButton && !viewport()->childAt(event->pos()))
        emit right_button_pressed(event->globalPos());
    else
        QWidget::mousePressEvent(event);
}

VyrTabBar::VyrTabBar(QWidget *parent, const char *name) : QTabBar(parent)
{
    setObjectName(QString::fromLatin1(name));
    setExpanding(false); // tabs as wide as their names, from the left
}

int VyrTabBar::workspace_id(int index) const
{
    if (index < 0 || index >= count())
        return -1;
    return tabData(index).toInt();
}

void VyrTabBar::set_workspace_id(int index, int id)
{
    setTabData(index, id);
}

void VyrTabBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTabBar::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit double_clicked(workspace_id(currentIndex()));
}

VyrPrefixLabel::VyrPrefixLabel(const QString &prefix, QWidget *parent) : QLabel(parent), m_prefix(prefix)
{
    setTextFormat(Qt::RichText);
    setWordWrap(true);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
}

void VyrPrefixLabel::setText(const QString &text)
{
    // Laid out again only for a new text or width: the state shown after
    // every change of the configuration would otherwise lay the label out
    // once per window a configuration loads.
    if (text == m_full_text && width() == m_laid_out_width)
        return;
    m_full_text = text;
    m_shown_text = text;
    lay_out();
}

void VyrPrefixLabel::set_label_text()
{
    QLabel::setText(m_prefix + QLatin1String(" <b>") + m_shown_text.toHtmlEscaped() + QLatin1String("</b>"));
}

void VyrPrefixLabel::lay_out()
{
    m_laid_out_width = width();
    m_shown_text = m_full_text;
    int n = m_full_text.size();
    set_label_text();
    for (;;) {
        m_line_height = QLabel::heightForWidth(1280);
        if (QLabel::heightForWidth(width()) <= m_line_height || n < 6)
            break;
        --n;
        m_shown_text = QLatin1String("...") + m_full_text.right(n);
        set_label_text();
    }
    if (QLabel::heightForWidth(width()) > m_line_height)
        QLabel::setText(m_prefix);
}

QSize VyrPrefixLabel::sizeHint() const
{
    return QSize(10, m_line_height);
}

int VyrPrefixLabel::heightForWidth(int width) const
{
    return m_line_height > 0 ? m_line_height : QLabel::heightForWidth(width);
}

void VyrPrefixLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    if (qAbs(width() - m_last_width) > 10 || m_line_height < 0 || QLabel::heightForWidth(width()) > m_line_height)
        lay_out();
    m_last_width = width();
}

VyrListenSocket::VyrListenSocket(int backlog, QObject *parent, const char *name) : QLocalServer(parent)
{
    setObjectName(QString::fromLatin1(name));
    setMaxPendingConnections(backlog);
    const std::string directory = platform::runtime_directory();
    if (directory.empty()) {
        debug_trace("VyrListenSocket: no runtime directory: no help socket");
        return;
    }
    setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = QString::fromLocal8Bit(directory.c_str()) + QStringLiteral("/vyr-help-%1.sock").arg(getpid());
    removeServer(path); // a socket file of an earlier process with this pid
    if (!listen(path))
        debug_trace("VyrListenSocket: listen on %s failed: %s", path.toLocal8Bit().constData(),
                    errorString().toLocal8Bit().constData());
}

void VyrListenSocket::incomingConnection(quintptr descriptor)
{
    // The folder and the socket's mode keep other users out; the peer's
    // credentials are checked all the same.
    ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != geteuid()) {
        debug_trace("VyrListenSocket::incomingConnection: connection of uid %u refused", unsigned(peer.uid));
        ::close(int(descriptor));
        return;
    }
    debug_trace("VyrListenSocket::incomingConnection: Incoming connection from Helpwindow ...");
    emit connected(this, qintptr(descriptor));
}

VyrWindowsStyle::VyrWindowsStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}

int VyrWindowsStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    switch (metric) {
    case PM_TitleBarHeight:
        return 20;
    case PM_MdiSubWindowFrameWidth:
        return 3;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}
