#pragma once
// The table of the send window: a table that keeps Tab, Delete and F1 to
// itself the way a spreadsheet does, cell items that keep a value beside
// their text and make their own editors, and the editors with the syntax
// of the identifier and data cells. Editors of choices commit as soon as
// one is picked.
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QValidator>

class CANdbCluster;
class CanSendTable;
class VyrCanIf;
class VyrTrigger;

class VyrKeyboardAwareTable : public QTableWidget
{
    Q_OBJECT
public:
    VyrKeyboardAwareTable(int rows, int columns, QWidget *parent, const char *name);

    // The editor the table has open, or null.
    QWidget *open_editor() const { return m_open_editor; }
    void set_open_editor(QWidget *editor) { m_open_editor = editor; }

public slots:
    // Ends the edit of the current cell, keeping what the editor holds, and
    // gives the focus back to the table.
    void end_edit();

signals:
    void delete_key_pressed();
    // The user changed a cell through its editor.
    void valueChanged(int row, int column);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPointer<QWidget> m_open_editor;
};

class CanSendTable : public VyrKeyboardAwareTable
{
    Q_OBJECT
public:
    CanSendTable(int rows, int columns, QWidget *parent, const char *name, int action_column);

    int action_column() const { return m_action_column; }
    bool running() const { return m_running; }
    void set_running(bool running) { m_running = running; }

protected:
    // No editor opens in the Action column: its buttons stay in place.
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;

private:
    int m_action_column;
    bool m_running = false;
};

// A cell that makes its own editor and takes its content back from it.
class SendCellItem : public QTableWidgetItem
{
public:
    explicit SendCellItem(const QString &text = QString()) : QTableWidgetItem(text, UserType) {}
    // False: the table's plain text editor.
    virtual bool has_editor() const { return false; }
    virtual QWidget *create_editor(QWidget *parent, CanSendTable *table) const { return nullptr; }
    virtual void set_content_from_editor(QWidget *editor) {}
};

// Channel: the interface the row sends on.
class ChannelItem : public SendCellItem
{
public:
    explicit ChannelItem(VyrCanIf *can);
    VyrCanIf *interface() const { return m_interface; }
    // Text: the interface's display name, empty without one.
    void set_interface(VyrCanIf *can);
    bool has_editor() const override { return true; }
    QWidget *create_editor(QWidget *parent, CanSendTable *table) const override;
    void set_content_from_editor(QWidget *editor) override;

private:
    VyrCanIf *m_interface;
};

// Identifier: the text is validated against the interface's databases.
class IdItem : public SendCellItem
{
public:
    IdItem(const QString &text, VyrCanIf *can) : SendCellItem(text), m_interface(can) {}
    VyrCanIf *interface() const { return m_interface; }
    void set_interface(VyrCanIf *can) { m_interface = can; }
    bool has_editor() const override { return true; }
    QWidget *create_editor(QWidget *parent, CanSendTable *table) const override;
    void set_content_from_editor(QWidget *editor) override;

private:
    VyrCanIf *m_interface;
};

class DlcItem : public SendCellItem
{
public:
    DlcItem(int dlc, VyrCanIf *can);
    int dlc() const { return m_dlc; }
    void set_dlc(int dlc);
    void set_interface(VyrCanIf *can) { m_interface = can; }
    bool has_editor() const override { return true; }
    QWidget *create_editor(QWidget *parent, CanSendTable *table) const override;
    void set_content_from_editor(QWidget *editor) override;

private:
    int m_dlc;
    VyrCanIf *m_interface;
};

class DataItem : public SendCellItem
{
public:
    DataItem(const QString &text, int dlc);
    int dlc() const { return m_dlc; }
    // Re-formats the text for the new length.
    void set_dlc(int dlc);
    bool has_editor() const override { return true; }
    QWidget *create_editor(QWidget *parent, CanSendTable *table) const override;
    void set_content_from_editor(QWidget *editor) override;

private:
    int m_dlc;
};

// Rate and Count: an unsigned number.
class NumberItem : public SendCellItem
{
public:
    explicit NumberItem(unsigned value);
    unsigned value() const { return text().toUInt(); }
    bool has_editor() const override { return true; }
    QWidget *create_editor(QWidget *parent, CanSendTable *table) const override;
    void set_content_from_editor(QWidget *editor) override;
};

// Send on Key: a key code of the program's numbering.
class KeyItem : public SendCellItem
{
public:
    explicit KeyItem(int code);
    int code() const { return m_code; }
    bool has_editor() const override { return true; }
    QWidget *create_editor(QWidget *parent, CanSendTable *table) const override;
    void set_content_from_editor(QWidget *editor) override;

private:
    int m_code;
};

// Trigger: the trigger's name, " --- " without one; chosen from the program's triggers.
class TriggerItem : public SendCellItem
{
public:
    explicit TriggerItem(VyrTrigger *trigger);
    VyrTrigger *trigger() const { return m_trigger; }
    void set_trigger(VyrTrigger *trigger);
    bool has_editor() const override { return true; }
    QWidget *create_editor(QWidget *parent, CanSendTable *table) const override;
    void set_content_from_editor(QWidget *editor) override;

private:
    VyrTrigger *m_trigger;
};

// The identifier editor's rule (send_cell::id_text_acceptable); an empty
// text and the start of a message name are intermediate, so that names can
// be typed.
class IdValidator : public QValidator
{
    Q_OBJECT
public:
    IdValidator(QObject *parent, CANdbCluster *cluster) : QValidator(parent), m_cluster(cluster) {}
    State validate(QString &input, int &position) const override;

private:
    CANdbCluster *m_cluster;
};

// The data cell's fixed-length hex text, typed over in place.
class DataValidator : public QValidator
{
    Q_OBJECT
public:
    DataValidator(QObject *parent, int length) : QValidator(parent), m_length(length) {}
    State validate(QString &input, int &position) const override;

private:
    int m_length;
};

// The data editor: typing replaces characters; Backspace and Ctrl+H only
// move left, Ctrl+D does nothing, Shift+Delete and Ctrl+X copy without
// deleting, and moving left skips the blanks.
class DataLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    DataLineEdit(QWidget *parent, const QString &text, int dlc);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// Hands editing over to the items.
class SendCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit SendCellDelegate(CanSendTable *table);
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

private:
    SendCellItem *send_item(const QModelIndex &index) const;
    CanSendTable *m_table;
};
