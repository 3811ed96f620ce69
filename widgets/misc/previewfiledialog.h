#pragma once
// The file dialog in which script, description, log and configuration files
// are chosen: the toolkit's own (non-native) file dialog with a pane that
// shows the comment header of the file under the cursor, the leading lines
// that begin with "#".
#include <QFileDialog>
#include <QWidget>

class QTextEdit;
class QUrl;

class Preview : public QWidget
{
    Q_OBJECT

public:
    // At most this many header lines are shown, each cut to max_line_length.
    static constexpr int max_lines = 40;
    static constexpr int max_line_length = 4096;

    explicit Preview(QWidget *parent = nullptr);

    QString text() const;

public slots:
    // Shows the comment header of a local regular file; clears the pane for
    // anything else it cannot read.
    void preview_url(const QUrl &url);

private:
    QTextEdit *m_text_view;
};

class PreviewFileDialog : public QFileDialog
{
    Q_OBJECT

public:
    explicit PreviewFileDialog(QWidget *parent = nullptr);

    Preview *preview() const { return m_preview; }

private:
    Preview *m_preview;
};
