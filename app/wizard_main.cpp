// kelvaro-import: the import wizard.
#include "app/QtPrompter.h"
#include "common/ProgramDirectory.h"
#include "common/UserMessage.h"
#include "formula/FieldFormulas.h"
#include "formula/TParser.h"
#include "formula/TfrmFormelEdt.h"
#include "settings/TfrmCopyFehler.h"
#include "settings/TfrmEinstellAEND.h"
#include "settings/TfrmEinstellANZ.h"
#include "importrun/GaugeModel.h"
#include "importrun/TfrmGauge.h"
#include "wizard/QtRegistry.h"
#include "wizard/TfrmHilfe.h"
#include "wizard/TfrmImport1.h"
#include "wizard/TfrmInhaltAnz.h"
#include "wizard/TfrmSplashScreen.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdlib>

using namespace kimport;

namespace {

// The last guard behind the windows' own: a failure in any handler is shown, never passed on to the
// event loop, where it would end the program.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;
    Prompter* prompter = nullptr;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            if (prompter) prompter->error(userMessage(e));
        } catch (...) {
            if (prompter) prompter->error(kUnexpectedErrorMessage);
        }
        return false;
    }
};

bool namesNoLocale(const char* name) {
    if (!name) return false;
    const std::string n(name);
    return n.empty() || n == "C" || n == "POSIX" || n.rfind("C.", 0) == 0;
}

// The directory of the alias "BKDB": the environment first, then the settings.
std::optional<std::string> bkdbAlias(Registry& registry) {
    if (const char* env = std::getenv("KIMPORT_BKDB"); env && *env) return std::string(env);
    return registry.readString("Aliases/BKDB");
}
}  // namespace

int main(int argc, char** argv) {
    // Where the environment names no locale (unset, C or POSIX), the program's German is the locale Qt
    // shows dates and sizes in (its file dialogs read the environment); one that names a locale keeps it.
    for (const char* variable : {"LC_ALL", "LC_TIME", "LC_NUMERIC", "LANG"})
        if (namesNoLocale(std::getenv(variable))) unsetenv(variable);
    if (!std::getenv("LC_ALL") && !std::getenv("LANG")) setenv("LANG", "de_DE.UTF-8", 1);
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(KIMPORT_VERSION_TEXT));
    // The program speaks German whatever the environment says: dates and sizes in the file dialogs too.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // German texts for the standard buttons of message boxes and dialogs.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    QtPrompter prompter;
    app.prompter = &prompter;
    std::string programDir;
    try {
        programDir = resolveProgramDirectory(QDir(QCoreApplication::applicationDirPath()).absolutePath().toStdString());
    } catch (const std::exception& e) {
        prompter.error(userMessage(e));
        return 1;
    }
    QtRegistry registry;
    ProcessFormats formats;
    GaugeModel gaugeModel(formats.current);
    FieldFormulas fieldFormulas(formats.current);
    ImportWizard wizard(WizardEnvironment{programDir, prompter, registry, formats, realFileSystem(), bkdbAlias(registry),
                                          &gaugeModel, &fieldFormulas});

    TfrmImport1 mainWindow(wizard);
    prompter.setParent(&mainWindow);
    // Closing the main window ends the program, also while other windows are still shown.
    // (exit, not quit: quit asks every window first, and the progress window refuses while it is shown)
    QObject::connect(&mainWindow, &TfrmImport1::programEnded, &app, [] { QCoreApplication::exit(0); },
                     Qt::QueuedConnection);
    // Closed during a run: the run is asked to stop first, and the program ends once it has.
    mainWindow.confirmCloseWhileBusy = [&] { return gaugeModel.confirmStop(prompter); };
    // Without a parent: disabling the wizard window must not disable the progress window too.
    TfrmGauge gauge(gaugeModel, prompter);
    gauge.setWizardWindow(&mainWindow);
    TfrmSplashScreen splash(&mainWindow);
    // The content viewer: a window of its own, asked by the wizard's pages and by the run's end.
    TfrmInhaltAnz contentViewer(prompter, formats.regional);
    // A table the wizard holds open for itself is shown through its own table object; one it reads as a
    // stream (the source) the viewer opens beside it.
    contentViewer.viewer().heldTable = [&](const std::string& path) -> Table* {
        for (Table* t : {&wizard.context().tblQuelle, &wizard.context().tblZiel})
            if (t->Active() && !t->Sequential && samePath(t->path(), path)) return t;
        return nullptr;
    };
    QObject::connect(&mainWindow, &TfrmImport1::contentViewerRequested, [&](const ContentViewerRequest& r) {
        using Kind = ContentViewerRequest::Kind;
        switch (r.kind) {
        case Kind::None: break;
        case Kind::Close:
            if (contentViewer.isVisible()) contentViewer.close();
            break;
        case Kind::SourceTable: contentViewer.showSourceTable(r.source); break;
        case Kind::SourceText: contentViewer.showTextFile(r.source, r.dosConversion); break;
        case Kind::TargetTable: contentViewer.showTargetTable(r.target, r.targetEmptied); break;
        case Kind::BothTables: contentViewer.showBoth(r.source, r.target, r.targetEmptied, r.afterRun); break;
        }
    });
    QObject::connect(&contentViewer, &TfrmInhaltAnz::closed,
                     [&] { mainWindow.handle([&] { wizard.contentViewer().contentViewerClosed(); }); });
    QObject::connect(&mainWindow, &TfrmImport1::aboutRequested, &splash, &TfrmSplashScreen::showAsAbout);
    TfrmHilfe help(QString::fromStdString(programDir) + QStringLiteral("help"));
    auto openHelp = [&](int context) { help.showTopic(context); };
    prompter.onHelp = openHelp;
    QObject::connect(&mainWindow, &TfrmImport1::helpRequested, openHelp);
    QObject::connect(&gauge, &TfrmGauge::helpRequested, openHelp);
    // The expression parser of the main window and the formula editor, created once.
    TParser Parser1(&prompter);
    TfrmFormelEdt formulaEditor(Parser1, prompter, &mainWindow);
    QObject::connect(&formulaEditor, &TfrmFormelEdt::helpRequested, openHelp);
    // The editor's memo is the selected rule's formula: every edit goes to the rule and its options page.
    QObject::connect(&mainWindow, &TfrmImport1::formulaEditorRequested, [&](bool textFormula) {
        // The text page shows the editor only when it is not shown already; both bind it to the rule.
        const bool show = !(textFormula && formulaEditor.isVisible());
        FormulaBinding binding;
        binding.kind = textFormula ? FormulaKind::Text : FormulaKind::Number;
        binding.read = [&wizard, &prompter, textFormula] {
            try {
                return wizard.mappingPage().ruleOptions().formulaText(textFormula);
            } catch (const std::exception& e) {
                prompter.error(userMessage(e));
                return std::string();
            }
        };
        binding.write = [&wizard, &mainWindow, &prompter, textFormula](const std::string& text) {
            try {
                wizard.mappingPage().ruleOptions().setFormulaText(textFormula, text);
            } catch (const std::exception& e) {
                prompter.error(userMessage(e));
            }
            mainWindow.applyState();
        };
        try {
            binding.target = wizard.mappingPage().ruleOptions().formulaTarget();
        } catch (const std::exception& e) {
            prompter.error(userMessage(e));
            return;
        }
        binding.source = &wizard.context().tblQuelle;
        binding.formats = &formats.current;
        formulaEditor.bindFormula(std::move(binding));
        if (!show) return;
        formulaEditor.show();
        formulaEditor.raise();
        formulaEditor.activateWindow();
    });

    // The summary of a saved setting ("&Details"), and the error list of reading settings in.
    TfrmEinstellANZ summary(&mainWindow);
    QObject::connect(&summary, &TfrmEinstellANZ::helpRequested, openHelp);
    QObject::connect(&summary, &TfrmEinstellANZ::optionsRequested, [&] {
        mainWindow.showOptionsLookOnly();
    });
    TfrmEinstellAEND managerWindow(wizard.settingsPage().settingsManager(), prompter);
    managerWindow.readInSettings = [&wizard] {
        wizard.settingsPage().readInSettings();
        return wizard.state().showErrorList;
    };
    QObject::connect(&managerWindow, &TfrmEinstellAEND::helpRequested, openHelp);
    QObject::connect(&managerWindow, &TfrmEinstellAEND::optionsRequested, [&] { mainWindow.openOptionsWindow(); });
    QObject::connect(&mainWindow, &TfrmImport1::settingsDetailsRequested, [&](bool manager) {
        if (manager) {
            // The manager takes the main window's place until it closes.
            mainWindow.hide();
            mainWindow.handle([&] { wizard.settingsPage().managerOpened(); });
            const bool start = managerWindow.showManager();
            mainWindow.show();
            mainWindow.handle([&] { wizard.settingsPage().managerClosed(start); });
            return;
        }
        std::optional<SavedSetting> setting;
        try {
            setting = wizard.settingsPage().currentSetting();
        } catch (const std::exception& e) {
            prompter.error(userMessage(e));
        }
        if (!setting) return;
        mainWindow.hide();
        const std::string remark = summary.showSetting(*setting);
        mainWindow.show();
        try {
            wizard.settingsPage().saveRemark(remark);
        } catch (const std::exception& e) {
            prompter.error(userMessage(e));
        }
    });
    TfrmCopyFehler errorList(&mainWindow);
    auto showErrorList = [&] {
        errorList.showEntries(wizard.state().errorList);
        wizard.settingsPage().errorListClosed();
    };
    QObject::connect(&mainWindow, &TfrmImport1::errorListRequested, showErrorList);
    QObject::connect(&managerWindow, &TfrmEinstellAEND::errorListRequested, showErrorList);

    std::vector<std::string> parameters;
    for (int i = 1; i < argc; ++i) parameters.emplace_back(argv[i]);
    try {
        wizard.start(parameters);
    } catch (const std::exception& e) {
        prompter.error(userMessage(e));
        return 1;
    }
    if (!wizard.ownsControlTables()) return 1;  // another instance runs; it was said once
    mainWindow.applyState();
    mainWindow.show();
    splash.showAtStart();
    return QApplication::exec();
}
