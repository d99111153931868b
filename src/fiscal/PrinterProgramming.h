// PrinterProgramming: what a technician programs into a fiscal printer when it is set up
// in a shop — its tax rates and the shop's header — taken from the data directory when the
// bridge is installed. The rates are those of the fiscal tax-rate file
// ("Dados/Cadastros/AliqImpFis.cds"); the header comes from the parameters file
// ("PARAMETROSORV.CDS") when it is there. Folder and file names match without regard to case.
#pragma once

#include <QString>
#include <vector>

namespace fiscal {

struct TaxRate {
  QString code;     // CDALIQIMPFIS
  double rate = 0;  // VRALIQIMPFIS, percent
  QString type;     // IDALIQIMPFIS
};

struct ShopHeader {
  QString store;              // CDLOJA
  QString branch;             // CDFILIAL
  QString cashRegister;       // CDCAIXA
  QString company;            // CDEMPRESA
  QString state;              // SGESTADOFILI
  QString stateRegistration;  // CDINSCESTAEMPR
  QString serialNumber;       // NRSERIEIMP
  QString ecf;                // ECFIMP
};

struct PrinterProgramming {
  std::vector<TaxRate> rates;
  // Why the rates could not be read (empty when the file was read or is simply absent).
  QString ratesProblem;
  ShopHeader header;

  // The rate whose code equals `code`, blanks around and letter case ignored; null if none.
  const TaxRate* findRate(const QString& code) const;

  // Never throws: a missing or unreadable file leaves its part empty.
  static PrinterProgramming load(const QString& dataDirectory);
  static std::vector<TaxRate> loadRates(const QString& path);  // throws fw::Error
  static ShopHeader loadHeader(const QString& path);           // throws fw::Error

  // `relative` ("Dados/Cadastros/AliqImpFis.cds") under `directory`, each existing name
  // found without regard to case; names that do not exist keep their spelling.
  static QString resolve(const QString& directory, const QString& relative);
};

}  // namespace fiscal
