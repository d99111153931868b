// FormFixture: a sales screen started on a demo data directory, as CriaRegVenda would
// start it (without the modal run). It makes a temporary data directory with the demo data,
// points REGVENDA_DATA_DIR at it, records every message the screen shows (it is the suite's
// OutsideRecorder: install*() adds the printer and dialog fakes), creates the form and runs
// InicializaForm. Everything it changes (environment, procedure variables, sale
// context, screen size) is put back when it is destroyed.
//
//   FormFixture f;                      // demo data, form started
//   f.form().bldCodigo->click();
//   EXPECT_EQ(f.messages.size(), 1u);
//
//   FormFixture f(FormFixture::Setup{.initialize = false});
//   QFile::remove(f.path("PARAMETROSORV.CDS"));
//   EXPECT_THROW(f.initialize(), fw::Error);
#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <vector>

#include "module/shell/TfrmVendaArquivo.h"
#include "support/OutsideRecorder.h"
#include "tools/demo/DemoData.h"

namespace testsupport {

class FormFixture : public OutsideRecorder {
 public:
  struct Setup {
    demo::Options data{};
    bool writeData = true;          // false: an empty data directory
    bool createForm = true;         // false: no form until createForm()
    bool initialize = true;         // run InicializaForm on the new form
    std::optional<QRect> screen{};  // pretend screen geometry
  };

  FormFixture();
  explicit FormFixture(const Setup& setup);
  ~FormFixture();
  FormFixture(const FormFixture&) = delete;
  FormFixture& operator=(const FormFixture&) = delete;

  QString dataDir() const;
  // dataDir() + "/" + relative ("Dados/Cadastros/ProdArquivo.cds").
  QString path(const QString& relative) const;
  const demo::Summary& demoSummary() const { return summary_; }

  // A new form (the previous one released), published in frmVendaArquivo.
  TfrmVendaArquivo& createForm();
  void initialize();  // InicializaForm on the current form
  TfrmVendaArquivo& form();
  void releaseForm();

 private:
  QTemporaryDir dir_;
  demo::Summary summary_;
  std::unique_ptr<TfrmVendaArquivo> form_;
  bool hadEnv_ = false;
  QByteArray oldEnv_;
};

}  // namespace testsupport
