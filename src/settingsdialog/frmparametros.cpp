#include "settingsdialog/frmparametros.h"

#include "platform/application.h"
#include "platform/forms.h"
#include "platform/twips.h"
#include "settings/moduleini.h"
#include "settingsdialog/filebrowse.h"
#include "widgets/centring.h"
#include "widgets/designstyle.h"
#include "widgets/mofficeborder.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

using platform::twipsRect;
using settingsdialog::OpenFileComponent;

namespace {

constexpr int ClientWidth = 6630;
constexpr int ClientHeight = 5520;
constexpr int RowHeight = 375;

// The design's entries first, in their order; then what discs hold today;
// then every file.
const QString ImageFilter = QStringLiteral(
    "Ficheiros Bitmap (*.bmp)|*.bmp|Ficheiros JPEG (*.jpg)|*.jpg|Ficheiros Gif (*.gif)|*.gif|"
    "Ficheiros PNG (*.png)|*.png|All files (*)|*|");
const QString MovieFilter = QStringLiteral(
    "Ficheiros DivX (*.avi)|*.avi|Ficheiros Video CD (*.mpg;*dat)|*.mpg;*dat|"
    "Ficheiros MP4 (*.mp4)|*.mp4|Ficheiros Matroska (*.mkv)|*.mkv|All files (*)|*|");
const QString SubtitleFilter = QStringLiteral(
    "Ficheiros Subrip (*.srt)|*.srt|Ficheiros VOBsub (*.sub)|*.sub|All files (*)|*|");

// The five rows: where each box's value lives in the settings file.
struct Entry
{
    const char *section;
    const char *key;
};
constexpr Entry Entries[] = {
    {"Main", "title"}, {"path", "frontcover"}, {"path", "backcover"}, {"path", "movie"}, {"path", "subtitles"},
};

Frmparametros::SettingsWriter &writerOverride()
{
    static Frmparametros::SettingsWriter writer;
    return writer;
}

void writeSetting(const QString &section, const QString &key, const QString &value)
{
    if (writerOverride())
        writerOverride()(section, key, value);
    else
        WriteINI(section, key, value); // reports a failed write itself
}

} // namespace

Frmparametros::Frmparametros(QWidget *parent)
    : QWidget(parent, widgets::FixedWindowFlags)
{
    widgets::setUpForm(this, "Frmparametros", platform::applicationTitle(), ClientWidth, ClientHeight);
    setFont(widgets::designFont(QStringLiteral("MS Sans Serif"), 8.25));
    // The window wears the scroll-bar colour. Qt's palette has no role of that
    // name; Midlight is its light grey of the same kind.
    QPalette background = palette();
    background.setColor(QPalette::Window, background.color(QPalette::Midlight));
    setPalette(background);
    setAutoFillBackground(true);

    buildControls();
    load();
    platform::registerForm(this, [this] { activate(); });
}

Frmparametros::~Frmparametros()
{
    emit unloaded();
}

void Frmparametros::setSettingsWriterForTests(SettingsWriter writer)
{
    writerOverride() = std::move(writer);
}

QLineEdit *Frmparametros::makeTextBox(const char *name, int top)
{
    auto *box = new QLineEdit(this);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(twipsRect(1560, top, 3135, RowHeight));
    return box;
}

QPushButton *Frmparametros::makeButton(QWidget *parent, const char *name, const QString &caption, int left, int top,
                                       int width)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(twipsRect(left, top, width, RowHeight));
    // Neither Enter nor Escape belongs to any button of this window.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void Frmparametros::buildControls()
{
    widgets::makeHeadingLabel(this, QStringLiteral(" Settings"), twipsRect(120, 120, 6375, 375));

    // The frame comes first so that the boxes and buttons laid over it stay on top.
    m_frame = new QGroupBox(QStringLiteral("Ini Settings"), this);
    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_frame->setGeometry(twipsRect(240, 840, 6135, 3855));

    m_txttitulo = makeTextBox("Txttitulo", 1320);
    m_txtcapa = makeTextBox("Txtcapa", 1920);
    m_txtcapa2 = makeTextBox("Txtcapa2", 2520);
    m_txtfilme = makeTextBox("Txtfilme", 3120);
    m_txtlegendas = makeTextBox("Txtlegendas", 3720);

    // The row labels sit in the frame, 840 twips above their boxes.
    const struct
    {
        const char *name;
        const char *caption;
        int top;
        QLineEdit *box;
    } labels[] = {
        {"Lbltitulo", "Movie Title:", 480, m_txttitulo},
        {"lblcapa", "Front Cover:", 1080, m_txtcapa},
        {"Lblcapa2", "Back Cover", 1680, m_txtcapa2},
        {"Lblfilme", "Movie File:", 2280, m_txtfilme},
        {"Lbllegendas", "Subtitle File:", 2880, m_txtlegendas},
    };
    for (const auto &row : labels) {
        auto *label = new QLabel(QLatin1String(row.caption), m_frame);
        label->setObjectName(QLatin1String(row.name));
        label->setGeometry(twipsRect(240, row.top, 975, RowHeight));
        label->setWordWrap(true);
        label->setBuddy(row.box); // screen readers name the box after its label
    }

    const QString browse = QStringLiteral("Browse");
    m_cmdproccapa = makeButton(this, "Cmdproccapa", browse, 4920, 1920, 1095);
    m_cmdproccapa2 = makeButton(m_frame, "cmdproccapa2", browse, 4680, 1680, 1095);
    m_cmdprocfilme = makeButton(this, "Cmdprocfilme", browse, 4920, 3120, 1095);
    m_cmdproclege = makeButton(this, "Cmdproclege", browse, 4920, 3720, 1095);
    m_cmddefault = makeButton(this, "Cmddefault", QStringLiteral("Default Settings"), 120, 5040, 2055);
    m_cmdaplicar = makeButton(this, "Cmdaplicar", QStringLiteral("Apply"), 3360, 5040, 1455);
    m_cmdcancel = makeButton(this, "Cmdcancel", QStringLiteral("Cancel"), 5040, 5040, 1455);

    // The four Browse buttons all read "Browse"; tell a screen reader which row.
    m_cmdproccapa->setAccessibleDescription(QStringLiteral("Front Cover"));
    m_cmdproccapa2->setAccessibleDescription(QStringLiteral("Back Cover"));
    m_cmdprocfilme->setAccessibleDescription(QStringLiteral("Movie File"));
    m_cmdproclege->setAccessibleDescription(QStringLiteral("Subtitle File"));

    // Keyboard order: title, front cover, movie and subtitle boxes, their
    // Browse buttons, Apply, Cancel, Default Settings, then the back cover's
    // box and button.
    const QList<QWidget *> order{m_txttitulo,   m_txtcapa,      m_txtfilme,   m_txtlegendas, m_cmdproccapa,
                                 m_cmdprocfilme, m_cmdproclege, m_cmdaplicar, m_cmdcancel,   m_cmddefault,
                                 m_txtcapa2,     m_cmdproccapa2};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    auto *front = new OpenFileComponent(QStringLiteral("CommonDialog1"), QStringLiteral("Trevlin - Open Front Cover"),
                                        ImageFilter, this);
    auto *movie = new OpenFileComponent(QStringLiteral("CommonDialog2"), QStringLiteral("Trevlin - Open Movie"),
                                        MovieFilter, this);
    auto *subtitles = new OpenFileComponent(QStringLiteral("CommonDialog3"), QStringLiteral("Trevlin - Open Subtitles"),
                                            SubtitleFilter, this);
    auto *back = new OpenFileComponent(QStringLiteral("CommonDialog4"), QStringLiteral("Trevlin - Open Back Cover"),
                                       ImageFilter, this);
    connectBrowse(m_cmdproccapa, front, m_txtcapa);
    connectBrowse(m_cmdproccapa2, back, m_txtcapa2);
    connectBrowse(m_cmdprocfilme, movie, m_txtfilme);
    connectBrowse(m_cmdproclege, subtitles, m_txtlegendas);

    connect(m_cmdaplicar, &QPushButton::clicked, this, &Frmparametros::apply);
    connect(m_cmddefault, &QPushButton::clicked, this, &Frmparametros::fillDefaults);
    connect(m_cmdcancel, &QPushButton::clicked, this, &QWidget::close);
}

void Frmparametros::connectBrowse(QPushButton *button, OpenFileComponent *component, QLineEdit *box)
{
    connect(button, &QPushButton::clicked, this, [this, component, box] { browse(component, box); });
}

// The boxes start with what the settings file holds, so that Apply keeps
// every value the author did not change.
void Frmparametros::load()
{
    const QList<QLineEdit *> boxes = this->boxes();
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        const QString value = ReadINI(QLatin1String(Entries[i].section), QLatin1String(Entries[i].key));
        boxes.at(i)->setText(value);
        m_loaded << value;
    }
}

QList<QLineEdit *> Frmparametros::boxes() const
{
    return {m_txttitulo, m_txtcapa, m_txtcapa2, m_txtfilme, m_txtlegendas};
}

void Frmparametros::activate()
{
    widgets::centreWindow(this);
    const QList<QWidget *> flat{m_txttitulo,   m_txtcapa,      m_txtcapa2,    m_txtfilme,
                                m_txtlegendas, m_cmdproccapa,  m_cmdproccapa2, m_cmdprocfilme,
                                m_cmdproclege, m_cmdaplicar,   m_cmdcancel,    m_cmddefault};
    for (QWidget *control : flat)
        Mofficeborder::ApplyFlatBorder(control);
    // The lock is compared exactly: "Yes" or " yes" does not lock. A locked
    // window takes no input, but its close box still closes it.
    setEnabled(ReadINI(QStringLiteral("settings"), QStringLiteral("blockset")) != QLatin1String("yes"));
}

void Frmparametros::apply()
{
    // All five texts are taken before the first write: a failed write shows a
    // box, and nothing typed meanwhile reaches the later writes.
    QStringList texts;
    for (QLineEdit *box : boxes())
        texts << box->text();

    // A box that still holds what the dialog loaded is not written: the file
    // keeps that entry byte for byte (a value longer than a read returns, its
    // quotes), and a change another program made meanwhile stays.
    QPointer<Frmparametros> self(this);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (texts.at(i) != m_loaded.value(i))
            writeSetting(QLatin1String(Entries[i].section), QLatin1String(Entries[i].key), texts.at(i));
    }
    if (self)
        close();
}

void Frmparametros::fillDefaults()
{
    // Always one separator after the folder, even where the folder already
    // ends in one: these proposals have no drive-root exception.
    const QString folder = platform::applicationFolder() + QDir::separator();
    m_txttitulo->setText(QStringLiteral("TrevLIN"));
    m_txtcapa->setText(folder + QStringLiteral("divxf.jpg"));
    m_txtcapa2->setText(folder + QStringLiteral("divxb.jpg"));
    m_txtfilme->setText(folder + QStringLiteral("logo.avi"));
    m_txtlegendas->setText(folder + QStringLiteral("subtitles.srt"));
}

void Frmparametros::browse(OpenFileComponent *component, QLineEdit *box)
{
    const QString disc = platform::applicationFolder();
    QPointer<Frmparametros> self(this);
    const std::optional<QString> picked = component->showOpen(this, settingsdialog::browseStart(box->text(), disc));
    // A cancel leaves the box as it was.
    if (self && picked)
        box->setText(settingsdialog::pathForDisc(*picked, disc));
}
