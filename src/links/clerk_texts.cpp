#include "links/clerk_texts.h"

#include <string>

#include "base/errors.h"
#include "base/unicode.h"

namespace povezava::links {
namespace {

using engine::ErrorCase;

std::u16string u16(std::string_view utf8) { return engine::fromUtf8(utf8); }

// »text«: how Slovenian quotes a name.
std::u16string q(std::u16string_view text) { return u"»" + std::u16string(text) + u"«"; }
std::u16string q(std::string_view utf8) { return q(u16(utf8)); }

// The error's own sentences, without its number.
std::u16string sentences(const engine::Status& status) {
  const engine::ErrorDetails& d = status.details();
  const std::u16string path = q(d.path);
  switch (d.what) {
    case ErrorCase::fileNotFound:
      return u"Datoteke " + path + u" ni mogoče najti. Preverite ime ali jo izberite z gumbom »Prebrskaj«.";
    case ErrorCase::notValidPath:
      return u"Pot " + path + u" ne obstaja. Preverite, ali je pravilno zapisana in ali je strežnik z datoteko "
             u"dosegljiv.";
    case ErrorCase::notMapped:
      return u"Pot " + path + u" na tem računalniku ne vodi nikamor: ni znano, kateri mapi ustreza " + q(d.name) +
             u". Prosite skrbnika, naj to doda v datoteko s potmi (~/.config/povezava/paths).";
    case ErrorCase::ambiguousPath:
      return u"Ime " + path + u" ustreza dvema datotekama, ki se razlikujeta le po velikih in malih črkah: " +
             q(d.name) + u" in " + q(d.other) + u". Izberite pravo z gumbom »Prebrskaj«.";
    case ErrorCase::isAFolder: return path + u" je mapa, ne baza. Izberite datoteko baze.";
    case ErrorCase::notAFile: return path + u" ni običajna datoteka, zato je program ne odpre.";
    case ErrorCase::cannotOpenFile:
      return u"Datoteke " + path + u" ni mogoče odpreti: nimate dovoljenja zanjo, ali pa jo ima nekdo odprto "
             u"samo zase.";
    case ErrorCase::unrecognizedFormat: return path + u" ni baza Access, ki bi jo program poznal.";
    case ErrorCase::corrupt:
      return u"Baza " + path + u" je poškodovana (stran " + u16(std::to_string(d.page)) +
             u"). Odprite jo v Accessu in jo stisnite ter popravite, nato poskusite znova.";
    case ErrorCase::passwordProtected:
      return u"Baza " + path + u" je zaščitena z geslom ali šifrirana, zato je program ne more odpreti.";
    case ErrorCase::itemNotFound: return u"Tabele " + q(d.name) + u" ni v bazi.";
    case ErrorCase::fileInUse:
      return u"Datoteko " + path + u" ima odprto drug program. Zaprite ga in poskusite znova.";
    case ErrorCase::accessLockFile: {
      std::u16string text = u"Bazo " + path + u" ima odprto Access";
      if (!d.users.empty()) text += u" (računalnik " + u16(d.users) + u")";
      return text + u". Zaprite jo v Accessu in poskusite znova. Če Access ni odprt nikjer, je zaklepna "
                    u"datoteka " + q(d.other) + u" ostala od prej in jo lahko izbrišete.";
    }
    case ErrorCase::objectNotFound:
      return u"Baza " + path + u" nima tabele " + q(d.name) + u". Preverite, ali ste izbrali pravo bazo.";
    case ErrorCase::readOnly:
      return u"V datoteko " + path + u" ni mogoče pisati, ker je samo za branje.";
    case ErrorCase::notEnoughSpace:
      return u"Na disku ni dovolj prostora za zapis v " + path + u". Sprostite nekaj prostora in poskusite znova.";
    case ErrorCase::diskOrNetwork:
      return u"Pri delu z datoteko " + path + u" je prišlo do napake diska ali omrežja. Poskusite znova.";
    case ErrorCase::noInstallableIsam:
      return u"Povezave " + q(d.name) + u" ni mogoče uporabiti: začeti se mora z »;DATABASE=« in potjo do baze.";
    case ErrorCase::notSupported:
      return u"Tega pri tej tabeli ni mogoče narediti; najbrž ni povezana, temveč shranjena v sami bazi.";
    case ErrorCase::objectInvalid: return u"Baza ni več odprta. Pritisnite »Osveži«.";
    case ErrorCase::recordTooLarge:
      return u"Zapis v bazi " + path + u" je prevelik. Bazo v Accessu stisnite in popravite, nato poskusite znova.";
    case ErrorCase::invalidArgument:
      return u"Besedila ni mogoče shraniti, ker vsebuje znak, ki ga baza ne pozna.";
    case ErrorCase::databaseExists: return u"Datoteka " + path + u" že obstaja.";
    case ErrorCase::unspecified: break;
  }
  // Errors of povezava's own rules, known by number only.
  switch (status.number()) {
    case engine::kErrHeldBack:
      return u"Ta tabela je v redu, a ni bila zapisana, ker druge ni bilo mogoče povezati. Nič ni bilo spremenjeno.";
    case engine::kErrNoLinkedTables: return u"Baza nima nobene od tabel PARTNER, KONTI in NALOGI kot povezane tabele.";
    case engine::kErrWindowsLinkToLocalPath: {
      const std::string& root = d.name;  // the drive or share
      if (root.empty()) {
        return u"Povezava kaže na pogon ali skupno mapo sistema Windows in bi postala pot tega računalnika, ki je "
               u"drugi računalniki ne poznajo. Prosite skrbnika, naj pogon doda v datoteko s potmi "
               u"(~/.config/povezava/paths).";
      }
      return u"Povezava kaže na pogon " + q(root) + u" sistema Windows, nova pot pa je pot tega računalnika, ki je "
             u"drugi računalniki ne poznajo. Prosite skrbnika, naj v datoteko s potmi (~/.config/povezava/paths) "
             u"doda vrstico " + q(root + " = MAPA") + u", kjer je MAPA mapa tega računalnika, ki jo kaže " + q(root) +
             u".";
    }
    case engine::kErrOutsideMappedFolder: return u"Pot sega iz mape, ki jo določa datoteka s potmi.";
    case engine::kErrNotRepresentable: return u"Ime datoteke ni veljavno besedilo.";
    default: break;
  }
  if (!d.path.empty()) return u"Pri delu z datoteko " + path + u" je prišlo do napake.";
  return u"Prišlo je do napake.";
}

}  // namespace

std::u16string clerkError(const engine::Status& status) {
  if (status.ok()) return {};
  return sentences(status) + u" (napaka " + u16(std::to_string(status.number())) + u")";
}

std::u16string clerkNotice(const engine::Notice& notice) {
  const std::u16string file = q(notice.file);
  switch (notice.what) {
    case engine::NoticeCase::relinkPending:
      return u"Prejšnje povezovanje baze " + file + u" je bilo prekinjeno. Okno kaže povezave, kakršne so bile "
             u"pred tem; nič ni izgubljeno. Ko pritisnete »Nova povezava«, program bazo najprej vrne v prejšnje "
             u"stanje in jo nato poveže na novo.";
    case engine::NoticeCase::relinkInProgress:
      return u"Bazo " + file + u" prav zdaj povezuje drug program povezava. Okno kaže povezave, kakršne so bile "
             u"pred tem. Počakajte, da konča, in nato pritisnite »Osveži«.";
    case engine::NoticeCase::relinkUndone:
      return u"Prejšnje povezovanje baze " + file + u" je bilo prekinjeno. Baza je zdaj spet takšna, kot je bila "
             u"pred njim; nič ni izgubljeno.";
    case engine::NoticeCase::journalIgnored:
      return u"Ob bazi " + file + u" leži datoteka " + q(notice.journal) + u", ki ne spada k njej. Program je ne "
             u"uporabi in jo ob naslednjem povezovanju umakne.";
    case engine::NoticeCase::journalSetAside:
      return u"Datoteka, ki ni spadala k bazi " + file + u", je zdaj umaknjena v " + q(notice.journal) +
             u". Baza je ostala nespremenjena.";
    case engine::NoticeCase::other: break;
  }
  return notice.file.empty() ? u"Program je opazil nekaj nenavadnega; podrobnosti so v sporočilih na izhodu "
                               u"za napake."
                             : u"Program je pri bazi " + file + u" opazil nekaj nenavadnega; podrobnosti so v "
                               u"sporočilih na izhodu za napake.";
}

std::u16string clerkRelinkFailures(std::span<const RelinkFailure> failures) {
  std::u16string text = u"Teh tabel ni bilo mogoče povezati:";
  for (const RelinkFailure& failure : failures) {
    text += u"\n\n";  // a blank line between the tables: each entry may wrap
    if (!failure.table.empty()) {
      text += failure.table;
      if (!failure.link.empty()) text += u" (" + failure.link + u")";
      text += u": ";
    }
    text += clerkError(failure.status);
  }
  text += u"\n\nPopravite poti in znova pritisnite »Nova povezava«.";
  return text;
}

std::u16string clerkNothingOpen() {
  return u"Nobena baza ni odprta, zato ni bilo nič zapisano. Vpišite ali izberite bazo in pritisnite »Osveži«.";
}

std::u16string clerkNotInspected(std::u16string_view named, std::u16string_view inspected) {
  return u"Polje »Baza:« zdaj navaja " + q(named) + u", prikazane povezave pa so iz baze " + q(inspected) +
         u". Nič ni bilo zapisano. Pritisnite »Osveži«, preverite povezave in nato znova »Nova povezava«.";
}

std::u16string clerkNoTables(std::u16string_view frontEnd) {
  return u"Baza " + q(frontEnd) + u" nima nobene od tabel PARTNER, KONTI in NALOGI, zato ni bilo nič "
         u"zapisano. Preverite, ali ste izbrali pravo bazo.";
}

std::u16string clerkDefaultMissing(std::u16string_view frontEnd, std::u16string_view currentFolder) {
  return u"V mapi " + q(currentFolder) + u" ni baze " + q(frontEnd) + u". Izberite bazo z gumbom »Prebrskaj« "
         u"zgoraj desno in pritisnite »Osveži«.";
}

std::u16string clerkOpenInAccess(const engine::Status& lock) {
  return clerkError(lock) + u"\n\nDokler je baza odprta v Accessu, »Nova povezava« ne more zapisati ničesar.";
}

std::u16string clerkRelativeLink(std::u16string_view path, std::u16string_view currentFolder) {
  return u"Pot " + q(path) + u" v povezavi ni popolna. Shranjena bo takšna, kot je, in bo veljala le iz mape " +
         q(currentFolder) + u"; za druge računalnike vpišite celotno pot.";
}

}  // namespace povezava::links
