#pragma once
// The settings dialog: the disc's author sets the movie title and the paths of
// the covers, the movie and the subtitles, and Apply writes them to the
// settings file. The boxes start with the values the file holds; Apply writes
// those the author changed. The settings lock ("settings"/"blockset" = "yes")
// disables the whole dialog.

#include <QStringList>
#include <QWidget>
#include <functional>

class QGroupBox;
class QLineEdit;
class QPushButton;
namespace settingsdialog { class OpenFileComponent; }

class Frmparametros : public QWidget
{
    Q_OBJECT
public:
    explicit Frmparametros(QWidget *parent = nullptr);
    // Unload: every way the dialog goes away ends here and says so.
    ~Frmparametros() override;

    // Apply's writes go through WriteINI. Tests put a function of their own in
    // between to watch each write; an empty function restores WriteINI.
    using SettingsWriter = std::function<void(const QString &section, const QString &key, const QString &value)>;
    static void setSettingsWriterForTests(SettingsWriter writer);

signals:
    // The dialog is gone; the main window shows itself again.
    void unloaded();

private:
    void buildControls();
    QLineEdit *makeTextBox(const char *name, int top);
    QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, int left, int top, int width);
    void connectBrowse(QPushButton *button, settingsdialog::OpenFileComponent *component, QLineEdit *box);

    void load();
    QList<QLineEdit *> boxes() const;
    void activate();
    void apply();
    void fillDefaults();
    void browse(settingsdialog::OpenFileComponent *component, QLineEdit *box);

    QGroupBox *m_frame = nullptr;
    QLineEdit *m_txttitulo = nullptr;
    QLineEdit *m_txtcapa = nullptr;
    QLineEdit *m_txtcapa2 = nullptr;
    QLineEdit *m_txtfilme = nullptr;
    QLineEdit *m_txtlegendas = nullptr;
    QPushButton *m_cmdproccapa = nullptr;
    QPushButton *m_cmdproccapa2 = nullptr;
    QPushButton *m_cmdprocfilme = nullptr;
    QPushButton *m_cmdproclege = nullptr;
    QPushButton *m_cmdaplicar = nullptr;
    QPushButton *m_cmdcancel = nullptr;
    QPushButton *m_cmddefault = nullptr;
    QStringList m_loaded; // what load() put into the five boxes, in their order
};
