// Every text the windows show comes from the translation tables, and every committed
// translation covers every text of the sources.
//
// The windows run under a marking translator that knows exactly the texts lupdate extracted
// from the sources (the build's template): each known text comes back as "⟦text⟧". A text
// on screen without the mark either bypasses tr() or sits in a context lupdate cannot see,
// so no translator could ever reach it.

#include "WindowTestSupport.h"

#include "CutEditor.h"
#include "DetailDrawer.h"
#include "DirectorySearchWindow.h"
#include "HistoryWindow.h"
#include "Localization.h"
#include "PreferencesWindow.h"
#include "PresetsWindow.h"
#include "ToolbarCustomizeDialog.h"
#include "ToolbarLayout.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTranslator>
#include <QXmlStreamReader>

#include <map>
#include <set>

using namespace orvanta;
using namespace orvanta::test;

namespace {

struct Message
{
    QString translation;
    bool finished = false;
    QStringList numerusForms;
};
using Catalogue = std::map<std::pair<QString, QString>, Message>; // (context, source)

Catalogue readTs(const QString& path)
{
    Catalogue catalogue;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return catalogue;
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"name")
                context = xml.readElementText();
            else if (xml.name() == u"message")
                message = {}, source.clear();
            else if (xml.name() == u"source")
                source = xml.readElementText();
            else if (xml.name() == u"translation") {
                const auto type = xml.attributes().value(QStringLiteral("type"));
                message.finished = type.isEmpty();
                while (!xml.atEnd() && !(xml.readNext() == QXmlStreamReader::EndElement &&
                                         xml.name() == u"translation")) {
                    if (xml.isStartElement() && xml.name() == u"numerusform")
                        message.numerusForms << xml.readElementText();
                    else if (xml.isCharacters())
                        message.translation += xml.text();
                }
            }
        } else if (xml.isEndElement() && xml.name() == u"message") {
            catalogue[{context, source}] = message;
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return catalogue;
}

const QString kTemplate = QStringLiteral(ORVANTA_TRANSLATION_TEMPLATE);

class MarkingTranslator : public QTranslator
{
public:
    explicit MarkingTranslator(const Catalogue& known)
    {
        for (const auto& [key, message] : known)
            m_known.insert(key);
    }
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        if (!m_known.count({QString::fromUtf8(context), QString::fromUtf8(source)}))
            return {};
        return u'⟦' + QString::fromUtf8(source) + u'⟧';
    }

private:
    std::set<std::pair<QString, QString>> m_known;
};

// The placeholders a translation must keep: %1…%9, %n, and the core's printf-style ones.
QStringList placeholdersOf(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(R"(%(?:[1-9n@]|[+.0-9]*[dsf]))"));
    QStringList found;
    for (auto it = pattern.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found;
}

class TranslationsTest : public WindowTest
{
protected:
    ~TranslationsTest() override
    {
        if (m_translator)
            QCoreApplication::removeTranslator(m_translator.get());
    }

    void installMarkingTranslator()
    {
        const Catalogue known = readTs(kTemplate);
        ASSERT_GT(known.size(), 300u) << "no template at " << kTemplate.toStdString();
        m_translator = std::make_unique<MarkingTranslator>(known);
        QCoreApplication::installTranslator(m_translator.get());
    }

    // Texts that are data or names, not words of the program, or whose translation comes
    // with Qt or the locale: day and month names, the standard buttons.
    static bool isExempt(const QString& text)
    {
        static const QRegularExpression letters(QStringLiteral("[A-Za-z]"));
        static const QStringList names = [] {
            QStringList list = {QStringLiteral("Orvanta"), QStringLiteral("http://"),
                                QStringLiteral("MP3"),     QStringLiteral("AAC"),
                                QStringLiteral("AAC+"),    QStringLiteral("OGG"),
                                QStringLiteral("FLAC"),    QStringLiteral("Night Owl")};
            const QLocale locale;
            for (int day = 1; day <= 7; ++day)
                list << locale.dayName(day);
            for (int month = 1; month <= 12; ++month)
                list << locale.monthName(month) << locale.standaloneMonthName(month);
            return list;
        }();
        return !text.contains(letters) || names.contains(text);
    }

    void expectMarked(const QString& text, const QString& where)
    {
        if (text.isEmpty() || text.contains(u'⟦') || isExempt(text))
            return;
        m_unmarked << where + QStringLiteral(": \"") + text + u'"';
    }

    void checkActions(const QList<QAction*>& actions, const QString& where)
    {
        for (QAction* action : actions) {
            if (action->isSeparator())
                continue;
            expectMarked(action->text(), where + QStringLiteral(" action"));
            if (action->toolTip() != action->text() &&
                action->toolTip() != QString(action->text()).remove(u'&'))
                expectMarked(action->toolTip(), where + QStringLiteral(" action tip"));
            if (QMenu* menu = action->menu())
                checkActions(menu->actions(), where + u'/' + action->text());
        }
    }

    void checkWidgetTree(QWidget* top)
    {
        const QString name = top->metaObject()->className();
        expectMarked(top->windowTitle(), name + QStringLiteral(" title"));
        QList<QWidget*> widgets = top->findChildren<QWidget*>();
        widgets.prepend(top);
        for (QWidget* widget : widgets) {
            const QString where =
                name + u' ' + widget->metaObject()->className() + u' ' + widget->objectName();
            expectMarked(widget->toolTip(), where + QStringLiteral(" tip"));
            checkActions(widget->actions(), where);
            if (auto* label = qobject_cast<QLabel*>(widget))
                expectMarked(label->text(), where);
            else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                auto* box = qobject_cast<QDialogButtonBox*>(button->parentWidget());
                if (!box || box->standardButton(button) == QDialogButtonBox::NoButton)
                    expectMarked(button->text(), where);
            } else if (auto* group = qobject_cast<QGroupBox*>(widget))
                expectMarked(group->title(), where);
            else if (auto* edit = qobject_cast<QLineEdit*>(widget))
                expectMarked(edit->placeholderText(), where + QStringLiteral(" placeholder"));
            else if (auto* tabs = qobject_cast<QTabWidget*>(widget))
                for (int i = 0; i < tabs->count(); ++i)
                    expectMarked(tabs->tabText(i), where + QStringLiteral(" tab"));
            else if (auto* combo = qobject_cast<QComboBox*>(widget); combo && !combo->isEditable())
                for (int i = 0; i < combo->count(); ++i)
                    expectMarked(combo->itemText(i), where + QStringLiteral(" item"));
            else if (auto* items = qobject_cast<QListWidget*>(widget))
                for (int i = 0; i < items->count(); ++i)
                    expectMarked(items->item(i)->text(), where + QStringLiteral(" item"));
            else if (auto* header = qobject_cast<QHeaderView*>(widget); header && header->model())
                for (int i = 0; i < header->count(); ++i)
                    expectMarked(header->model()->headerData(i, header->orientation()).toString(),
                                 where + QStringLiteral(" header"));
        }
    }

    std::unique_ptr<MarkingTranslator> m_translator;
    QStringList m_unmarked;
};

TEST_F(TranslationsTest, EveryWindowShowsOnlyTextsATranslatorCanReach)
{
    installMarkingTranslator();
    start();
    Node* node = station("Night Owl", "http://127.0.0.1:9/");
    list().selectNodes({node});

    checkWidgetTree(&window());
    window().showTimerView();
    checkWidgetTree(window().findChild<ui::DetailDrawer*>());
    checkWidgetTree(&window().preferencesWindow());
    checkWidgetTree(&window().presetsWindow());
    checkWidgetTree(&window().historyWindow());
    checkWidgetTree(&window().directorySearchWindow());
    ui::ToolbarCustomizeDialog customize(ui::ToolbarLayout::defaultItems());
    checkWidgetTree(&customize);
    ui::CutEditor cutEditor(RecordedCut{}, [](double) {});
    checkWidgetTree(&cutEditor);

    // What the core says in the window: its status lines and default names.
    expectMarked(QString::fromStdString(Orvanta::tr("Recording 1 stream...")),
                 QStringLiteral("core"));
    EXPECT_TRUE(m_unmarked.isEmpty()) << m_unmarked.join(u'\n').toStdString();
}

// A new text of the sources with no translation fails here until `make translations` has
// merged it and a translator has translated it; placeholders and plural forms must survive.
TEST_F(TranslationsTest, EveryTranslationCoversEveryTextOfTheSourcesWithItsPlaceholders)
{
    const Catalogue sources = readTs(kTemplate);
    ASSERT_GT(sources.size(), 300u);
    const QStringList files = QDir(QStringLiteral(ORVANTA_TRANSLATIONS_SOURCE))
                                  .entryList({QStringLiteral("orvanta_*.ts")}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& file : files) {
        const Catalogue translated = readTs(QStringLiteral(ORVANTA_TRANSLATIONS_SOURCE "/") + file);
        QStringList missing;
        for (const auto& [key, unused] : sources) {
            const QString what =
                file + u' ' + key.first + QStringLiteral(": \"") + key.second + u'"';
            const auto found = translated.find(key);
            if (found == translated.end() || !found->second.finished) {
                missing << what;
                continue;
            }
            const QStringList forms = found->second.numerusForms.isEmpty()
                                          ? QStringList{found->second.translation}
                                          : found->second.numerusForms;
            for (const QString& form : forms) {
                QStringList expected = placeholdersOf(key.second);
                QStringList got = placeholdersOf(form);
                // A singular form may spell its number out instead of %n.
                if (forms.size() > 1 && &form == &forms.first()) {
                    expected.removeAll(QStringLiteral("%n"));
                    got.removeAll(QStringLiteral("%n"));
                }
                if (form.trimmed().isEmpty() || got != expected)
                    missing << what + QStringLiteral(" -> \"") + form + u'"';
            }
        }
        EXPECT_TRUE(missing.isEmpty())
            << missing.size() << " texts untranslated or with wrong placeholders:\n"
            << missing.join(u'\n').toStdString();
    }
}

} // namespace
