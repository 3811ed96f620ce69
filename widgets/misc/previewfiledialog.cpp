#include "widgets/misc/previewfiledialog.h"

#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPixmap>
#include <QTextEdit>
#include <QUrl>

namespace {

// The comment header of an open file: of each leading line that begins with
// "#", the rest of the line. Reading stops at the first other line or after
// Preview::max_lines; a line longer than Preview::max_line_length is cut there
// and ends the header, so that a file without line breaks (a binary file, a
// large log) is never read whole.
QString comment_header(QFile &file)
{
    QString header;
    for (int line = 0; line < Preview::max_lines; ++line) {
        // readLine reads at most max_line_length bytes, the line end included.
        QByteArray bytes = file.readLine(Preview::max_line_length + 1);
        if (!bytes.startsWith('#'))
            break;
        const bool whole_line = bytes.endsWith('\n') || file.atEnd();
        while (bytes.endsWith('\n') || bytes.endsWith('\r'))
            bytes.chop(1);
        header += QString::fromUtf8(bytes.constData() + 1, bytes.size() - 1);
        header += QLatin1Char('\n');
        if (!whole_line)
            break;
    }
    return header;
}

} // namespace

Preview::Preview(QWidget *parent)
    : QWidget(parent)
    , m_text_view(new QTextEdit(this))
{
    setObjectName(QStringLiteral("preview"));
    m_text_view->setObjectName(QStringLiteral("preview_text"));
    m_text_view->setReadOnly(true);
    // Light-gray paper, as a 96 x 96 tile of one colour.
    QPixmap paper(96, 96);
    paper.fill(QColor(0xc0, 0xc0, 0xc0));
    QPalette palette = m_text_view->palette();
    palette.setBrush(QPalette::Base, QBrush(paper));
    m_text_view->setPalette(palette);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_text_view);
}

QString Preview::text() const
{
    return m_text_view->toPlainText();
}

void Preview::preview_url(const QUrl &url)
{
    if (url.isEmpty()) { // nothing under the cursor
        m_text_view->clear();
        return;
    }
    if (!url.isLocalFile()) {
        m_text_view->setPlainText(tr("I only show local files!"));
        return;
    }
    // Only regular files: opening a FIFO or a device would block the dialog.
    const QString path = url.toLocalFile();
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        m_text_view->clear();
        return;
    }
    m_text_view->setPlainText(comment_header(file));
}

PreviewFileDialog::PreviewFileDialog(QWidget *parent)
    : QFileDialog(parent)
    , m_preview(nullptr)
{
    setModal(true);
    // Qt's native dialogs take no preview pane: the toolkit's own one does.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setViewMode(QFileDialog::List);
    m_preview = new Preview(this);
    // The dialog's grid: the preview becomes a column right of everything.
    if (auto *grid = qobject_cast<QGridLayout *>(layout()))
        grid->addWidget(m_preview, 0, grid->columnCount(), grid->rowCount(), 1);
    connect(this, &QFileDialog::currentChanged, m_preview, [this](const QString &path) {
        m_preview->preview_url(QUrl::fromLocalFile(path));
    });
}
