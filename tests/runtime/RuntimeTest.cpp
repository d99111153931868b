// The runtime library's services: scrambling, data directory, connection string, session,
// and what install() puts into the module's procedure variables.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"
#include "ScopedEnv.h"
#include "framework/core/Error.h"
#include "outside/Outside.h"
#include "runtime/Runtime.h"

namespace {

void writeFile(const QString& path, const QByteArray& content) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(content);
}

}  // namespace

TEST(Cipher, EveryKeyRoundTripsAnyText) {
  const QStringList texts = {"",
                             "a",
                             "MD5: 0f343b0931126a20f133d67c2b018a3b",
                             "Ação, Pão de Queijo & Café — 100 %",
                             "€ 😀 ÿ\t\n",
                             QString(300, QChar(u'ç'))};
  for (int key = 0; key <= 9; ++key) {
    for (const QString& text : texts) {
      const QString stored = runtime::Cripto(text, key);
      EXPECT_EQ(runtime::Uncripto(stored, key), text) << "key " << key;
    }
  }
}

TEST(Cipher, StoredFormIsUpperCaseHexShiftedByKeyAndPosition) {
  EXPECT_EQ(runtime::Cripto("AAA", 0), "414243");
  EXPECT_EQ(runtime::Cripto("AAA", 7), "48494A");
  EXPECT_EQ(runtime::Cripto(QString(QChar(0xFF)), 1), "C4C1");  // "ÿ" is C3 BF in UTF-8
  EXPECT_NE(runtime::Cripto("segredo", 7), runtime::Cripto("segredo", 6));
  EXPECT_EQ(runtime::Uncripto(" 48494a\n", 7), "AAA");  // lower case and file padding
}

TEST(Cipher, BadStoredTextOrKeyIsACleanError) {
  EXPECT_THROW(runtime::Uncripto("414", 0), fw::Error);   // odd length
  EXPECT_THROW(runtime::Uncripto("4G", 0), fw::Error);    // not hex
  EXPECT_THROW(runtime::Uncripto("FFFF", 0), fw::Error);  // not UTF-8 under this key
  EXPECT_THROW(runtime::Cripto("x", 10), fw::Error);
  EXPECT_THROW(runtime::Uncripto("41", -1), fw::Error);
  try {
    runtime::Uncripto("zz", 7);
    FAIL() << "no error";
  } catch (const fw::Error& e) {
    EXPECT_TRUE(e.message().startsWith("Texto cifrado inválido")) << e.what();
  }
}

TEST(DataDirectory, EnvironmentWinsAndTrailingSeparatorIsDropped) {
  QTemporaryDir dir;
  {
    ScopedEnv env("REGVENDA_DATA_DIR", (dir.path() + "/").toUtf8());
    EXPECT_EQ(runtime::dataDirectory(), QDir::cleanPath(dir.path()));
  }
  ScopedEnv env("REGVENDA_DATA_DIR", std::nullopt);
  EXPECT_EQ(runtime::dataDirectory(), QCoreApplication::applicationDirPath());
}

class ConnectionString : public ::testing::Test {
 protected:
  ~ConnectionString() override { runtime::setSystemConfigDirectory(systemBefore); }
  QTemporaryDir dir;
  ScopedEnv dataDir{"REGVENDA_DATA_DIR", dir.path().toUtf8()};
  QTemporaryDir etc;  // stands for /etc/regvenda, so an installed package changes nothing here
  QString systemBefore = runtime::setSystemConfigDirectory(etc.path());
};

TEST_F(ConnectionString, FirstLineThatIsNeitherBlankNorComment) {
  ScopedEnv noOverride("REGVENDA_CONNECTION", std::nullopt);
  writeFile(
      dir.filePath("CONEXAOORV.TXT"),  // the name's case does not matter
      "\xEF\xBB\xBF# central database\r\n\r\n   \r\n  Driver=X;Server=10.0.0.1;Uid=caixa;  \r\n"
      "Driver=Y;\r\n");
  EXPECT_EQ(runtime::connectionString(), "Driver=X;Server=10.0.0.1;Uid=caixa;");
}

TEST_F(ConnectionString, EmptyWithoutFileOrWithOnlyComments) {
  ScopedEnv noOverride("REGVENDA_CONNECTION", std::nullopt);
  EXPECT_EQ(runtime::connectionString(), "");
  writeFile(dir.filePath("ConexaoOrv.txt"), "# nada\n\n");
  EXPECT_EQ(runtime::connectionString(), "");
}

TEST_F(ConnectionString, SystemFileOnlyWhenTheDataDirectoryHasNone) {
  ScopedEnv noOverride("REGVENDA_CONNECTION", std::nullopt);
  writeFile(etc.filePath("ConexaoOrv.txt"), "# do sistema\nDriver=Etc;\n");
  EXPECT_EQ(runtime::connectionString(), "Driver=Etc;");
  // The data directory's own file wins, even one that names no database.
  writeFile(dir.filePath("conexaoorv.txt"), "# nenhum banco\n");
  EXPECT_EQ(runtime::connectionString(), "");
}

TEST_F(ConnectionString, EnvironmentOverridesTheFileEvenWhenEmpty) {
  writeFile(dir.filePath("ConexaoOrv.txt"), "Driver=FromFile;");
  {
    ScopedEnv override("REGVENDA_CONNECTION", QByteArray(" Driver=FromEnv; "));
    EXPECT_EQ(runtime::connectionString(), "Driver=FromEnv;");
  }
  ScopedEnv empty("REGVENDA_CONNECTION", QByteArray());
  EXPECT_EQ(runtime::connectionString(), "");
}

TEST(Install, FillsTheSharedServicesOnly) {
  outside::resetAll();
  runtime::install();
  ASSERT_TRUE(outside::Mensagem && outside::Uncripto && outside::_GetStringConexOrv &&
              outside::SetADODBSession);
  EXPECT_FALSE(outside::AbreCupom);
  EXPECT_FALSE(outside::Pesquisa);

  const QString stored = runtime::Cripto("0f343b0931126a20", runtime::kIdentificationKey);
  EXPECT_EQ(outside::Uncripto(stored, 7), "0f343b0931126a20");

  int handle = 0;
  outside::SetADODBSession(&handle);
  EXPECT_EQ(runtime::adoSession(), &handle);
  outside::SetADODBSession(nullptr);
  EXPECT_EQ(runtime::adoSession(), nullptr);

  ScopedEnv override("REGVENDA_CONNECTION", QByteArray("Driver=Q;"));
  EXPECT_EQ(outside::_GetStringConexOrv(""), "Driver=Q;");
  outside::resetAll();
}

TEST(Mensagem, WithoutAPersonWritesToStderrAndDeclines) {
  runtime::setInteractive(false);
  testing::internal::CaptureStderr();
  const bool confirmed = runtime::Mensagem("Confirma a exclusão do recebimento?", "", "N", "S",
                                           outside::tmConfirmacao, "", "001", 0, nullptr);
  runtime::Mensagem("Código do produto inválido.", "", "N", "N", outside::tmInformacao, "", "001",
                    0, nullptr);
  const std::string err = testing::internal::GetCapturedStderr();
  runtime::setInteractive(true);
  EXPECT_FALSE(confirmed);
  EXPECT_EQ(err,
            "[mensagem] Confirma a exclusão do recebimento?\n"
            "[mensagem] Código do produto inválido.\n");
}
