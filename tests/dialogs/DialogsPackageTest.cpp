// The package's procedures where no one can answer: no dialog blocks, each answers
// as if cancelled.
#include <gtest/gtest.h>

#include "Catalog.h"
#include "dialogs/DialogsPackage.h"
#include "outside/Outside.h"
#include "runtime/Runtime.h"

namespace dialogs {
namespace {

TEST(DialogsPackageTest, WithoutAnOperatorEveryDialogAnswersCancelled) {
  auto catalog = test::makeShopCatalog();
  catalog->setRecNo(3);
  install();
  runtime::setInteractive(false);
  QString text = QStringLiteral("1");
  const bool picked = outside::Pesquisa(*catalog, 0, 0, 0, 0, 0, 0, 0);
  const bool confirmed = outside::TecladoNumerico(text, QStringLiteral("t"), QStringLiteral("p"),
                                                  QStringLiteral("e"), 20, 0, 0, 0, 0, 0);
  fw::Variant answer = fw::Variant::emptyArray(10);
  outside::CriaInfAdicional(fw::VariantList(8, fw::Variant(QStringLiteral("S"))), answer);
  runtime::setInteractive(true);
  uninstall();

  EXPECT_FALSE(picked);
  EXPECT_EQ(catalog->recNo(), 3);
  EXPECT_FALSE(confirmed);
  EXPECT_EQ(text, QStringLiteral("1"));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(answer.at(i).toText(), QString());
}

}  // namespace
}  // namespace dialogs
