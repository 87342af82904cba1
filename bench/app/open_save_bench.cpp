// Opening a protected entry (double-click to text shown) and saving it back, against the sum of
// their parts measured alone in the same run: the component's extract plus the control's load,
// and the control's save plus the component's add.
#include "app/category_editor.h"
#include "app/entry_dialog.h"
#include "app/main_window.h"
#include "bench/bench_support.h"
#include "bench/richedit/sample_documents.h"
#include "editor/editor_window.h"
#include "richedit/qe_rich_edit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

const QString kPassword = QStringLiteral("bench password");
QTemporaryDir* gHome = nullptr;

// Answers the password prompt as soon as it shows.
class PasswordAnswer final : public QObject {
  public:
    explicit PasswordAnswer(tk::TForm4* form4) : form4_(form4) { form4->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            QTimer::singleShot(0, form4_, [this] {
                form4_->Pass_in->setText(kPassword);
                form4_->Button3->click();
            });
        }
        return false;
    }

  private:
    tk::TForm4* form4_;
};

// The program's windows on a library with one protected entry whose body is the sample document.
struct Program {
    explicit Program(qsizetype bodyBytes) {
        qputenv("TOMEKEEP_HOME", gHome->path().toUtf8());
        form1 = std::make_unique<tk::TForm1>();
        if (!form1->FormCreate()) {
            std::abort();
        }
        form2 = std::make_unique<tk::TForm2>(form1.get());
        form1->setCategoryEditor(form2.get());
        form3 = std::make_unique<tk::TForm3>(form1.get());
        form1->setEditor(form3.get());
        form4 = std::make_unique<tk::TForm4>(form1.get());
        form1->setEntryDialog(form4.get());
        answer = std::make_unique<PasswordAnswer>(form4.get());
        form1->Archiver1.SetUnattended(true);

        const QString folder = gHome->filePath(QStringLiteral("LIST/bench%1/").arg(bodyBytes));
        QDir().mkpath(folder);
        const QString source = gHome->filePath(QStringLiteral("source%1/").arg(bodyBytes));
        QDir().mkpath(source);
        QFile body(source + QStringLiteral("TKFile.rtf"));
        if (!body.open(QIODevice::WriteOnly) || body.write(tk::bench::makeSampleDocument(bodyBytes).rtf) < 0) {
            std::abort();
        }
        body.close();
        tk::TArchiver& a = form1->Archiver1;
        a.SetZipFileName(folder + QStringLiteral("20240101000000.zip"));
        a.SetRootDir(source);
        a.SetFSpecArgs({QStringLiteral("TKFile.rtf")});
        a.SetPassword(kPassword);
        a.SetAddOptions(tk::AddOpts{tk::AddOptsEnum::AddEncrypt});
        a.Add();
        a.SetZipComment(QStringLiteral("bench|K|Y|TKFile.rtf"));
        form1->show();
        form1->ListDir = folder;
        form1->LoadEntryList();
        form1->ListView1->setCurrentIndex(form1->ListView1->model()->index(0, 0));
    }
    ~Program() {
        answer.reset();
        form4.reset();
        form3.reset();
        form2.reset();
        form1.reset();
    }

    std::unique_ptr<tk::TForm1> form1;
    std::unique_ptr<tk::TForm2> form2;
    std::unique_ptr<tk::TForm3> form3;
    std::unique_ptr<tk::TForm4> form4;
    std::unique_ptr<PasswordAnswer> answer;
};

void BM_OpenEntry(benchmark::State& state) {
    Program p(state.range(0));
    for (auto _ : state) {
        p.form1->ListView1DblClick(p.form1->ListView1);
        QApplication::processEvents();
    }
    if (p.form3->RichEdit1->Text().size() < state.range(0) / 20) {
        state.SkipWithError("the body was not shown");
    }
}

void BM_OpenParts(benchmark::State& state) {
    Program p(state.range(0));
    tk::TArchiver& a = p.form1->Archiver1;
    for (auto _ : state) {
        a.SetPassword(kPassword);
        a.SetExtrBaseDir(p.form1->store().scratchDir());
        a.SetExtrOptions(tk::ExtrOpts{tk::ExtrOptsEnum::ExtrDirNames, tk::ExtrOptsEnum::ExtrOverWrite});
        a.Extract();
        if (!p.form3->RichEdit1->Lines().LoadFile(p.form1->store().scratchDir() + QStringLiteral("TKFile.rtf"))) {
            state.SkipWithError("load failed");
        }
    }
}

void BM_SaveEntry(benchmark::State& state) {
    Program p(state.range(0));
    p.form1->ListView1DblClick(p.form1->ListView1);
    for (auto _ : state) {
        p.form3->RichEdit1->SetModified(true);
        p.form3->N10Click();
    }
}

void BM_SaveParts(benchmark::State& state) {
    Program p(state.range(0));
    p.form1->ListView1DblClick(p.form1->ListView1);
    tk::TArchiver& a = p.form1->Archiver1;
    for (auto _ : state) {
        if (!p.form3->RichEdit1->Lines().SaveFile(p.form1->store().scratchDir() + QStringLiteral("TKFile.rtf"))) {
            state.SkipWithError("save failed");
        }
        a.SetPassword(kPassword);
        a.SetRootDir(p.form1->store().scratchDir());
        a.SetFSpecArgs({QStringLiteral("TKFile.rtf")});
        a.Add();
    }
}

BENCHMARK(BM_OpenEntry)->Arg(1 << 20)->Arg(5 << 20)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenParts)->Arg(1 << 20)->Arg(5 << 20)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SaveEntry)->Arg(1 << 20)->Arg(5 << 20)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SaveParts)->Arg(1 << 20)->Arg(5 << 20)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTemporaryDir home;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    gHome = &home;
    benchmark::Initialize(&argc, argv);
    tk::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* size : {"1048576", "5242880"}) {
        const std::string suffix = std::string("/") + size;
        reporter.printRatio(std::string("open a protected ") + size + "-byte entry vs extract + load",
                            "BM_OpenEntry" + suffix, "BM_OpenParts" + suffix, 1.3);
        reporter.printRatio(std::string("save a protected ") + size + "-byte entry vs save + add",
                            "BM_SaveEntry" + suffix, "BM_SaveParts" + suffix, 1.3);
    }
    benchmark::Shutdown();
    return 0;
}
