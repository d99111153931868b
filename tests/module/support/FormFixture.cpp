#include "module/support/FormFixture.h"

#include "module/shell/SaleContext.h"
#include "module/shell/Screen.h"
#include "outside/Outside.h"
#include "runtime/Runtime.h"

namespace testsupport {

FormFixture::FormFixture() : FormFixture(Setup{}) {}

FormFixture::FormFixture(const Setup& setup) {
  hadEnv_ = qEnvironmentVariableIsSet("REGVENDA_DATA_DIR");
  oldEnv_ = qgetenv("REGVENDA_DATA_DIR");
  qputenv("REGVENDA_DATA_DIR", QFile::encodeName(dir_.path()));

  salecontext::resetToLoadValues();
  outside::resetAll();
  installMessages();
  outside::Uncripto = [](const QString& stored, int key) { return runtime::Uncripto(stored, key); };
  shell::setScreenGeometryOverride(setup.screen);

  if (setup.writeData) summary_ = demo::writeDemoData(dir_.path(), setup.data);
  if (setup.createForm) {
    createForm();
    if (setup.initialize) initialize();
  }
}

FormFixture::~FormFixture() {
  releaseForm();
  shell::setScreenGeometryOverride(std::nullopt);
  outside::resetAll();
  salecontext::resetToLoadValues();
  if (hadEnv_)
    qputenv("REGVENDA_DATA_DIR", oldEnv_);
  else
    qunsetenv("REGVENDA_DATA_DIR");
}

QString FormFixture::dataDir() const { return dir_.path(); }

QString FormFixture::path(const QString& relative) const {
  return dir_.path() + QLatin1Char('/') + relative;
}

TfrmVendaArquivo& FormFixture::createForm() {
  releaseForm();
  form_ = std::make_unique<TfrmVendaArquivo>(nullptr);
  frmVendaArquivo = form_.get();
  return *form_;
}

void FormFixture::initialize() { form().InicializaForm(); }

TfrmVendaArquivo& FormFixture::form() {
  if (!form_) createForm();
  return *form_;
}

void FormFixture::releaseForm() {
  form_.reset();
  frmVendaArquivo = nullptr;
}

}  // namespace testsupport
