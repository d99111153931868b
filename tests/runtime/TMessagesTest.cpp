// The message table's lookup.
#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "runtime/TMessages.h"

using runtime::TMessages;

namespace {

TMessages table() {
  return TMessages({"COD_PROD_INV|Código do produto inválido.",
                    "CancItem|Último item será cancelado e deverá ser registrado novamente.",
                    "VAL_DEV_INF|Valor do Recebimento deve ser informado.",
                    "VAL_RECE|Valor do Recebimento", "VAL_DEV_INF|Outro texto, nunca visto.",
                    "PIPE|a|b", "SEM_TEXTO"});
}

}  // namespace

TEST(TMessages, FirstLineWithTheExactKeyWins) {
  const TMessages messages = table();
  EXPECT_EQ(messages.Msg("VAL_DEV_INF"), "Valor do Recebimento deve ser informado.");
  EXPECT_EQ(messages.Msg("VAL_RECE"), "Valor do Recebimento");
  EXPECT_EQ(messages.Msg("CancItem"),
            "Último item será cancelado e deverá ser registrado novamente.");
  EXPECT_FALSE(messages.contains("CANCITEM"));
  EXPECT_FALSE(messages.contains("VAL"));
  EXPECT_FALSE(messages.contains("VAL_DEV_INF|Valor"));
  EXPECT_TRUE(messages.contains("CancItem"));
}

TEST(TMessages, MissingKeyGivesTheKeyInBracketsAndFurtherBarsBelongToTheText) {
  const TMessages messages = table();
  EXPECT_EQ(messages.Msg("ARQ_VEN"), "[ARQ_VEN]");
  EXPECT_EQ(TMessages().Msg("IMPOSTO_ERR"), "[IMPOSTO_ERR]");
  EXPECT_EQ(messages.Msg("PIPE"), "a|b");
  EXPECT_TRUE(messages.contains("SEM_TEXTO"));
  EXPECT_EQ(messages.Msg("SEM_TEXTO"), "");
}
