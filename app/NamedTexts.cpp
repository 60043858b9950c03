#include "app/NamedTexts.h"

#include <algorithm>
#include <iterator>

#include "core/Context.h"

namespace qv {

namespace {

struct NamedRow {
  std::string_view name;
  std::string_view german;
  std::string_view english;
  std::string_view french;
};

// Sorted by name. Keep the three languages side by side.
constexpr NamedRow kRows[] = {
    {"file.changedWhileRead", "Die Datei hat sich beim Lesen geändert",
     "The file changed while it was read", "Le fichier a changé pendant la lecture"},
    {"file.emptyImage", "Die Datei enthält kein Abbild, nur die 6 Byte am Ende",
     "The file holds no image, only the 6-byte trailer",
     "Le fichier ne contient aucune image, seulement les 6 octets de fin"},
    {"file.imageTooLarge",
     "Das Abbild ist größer als 16776960 Byte, mehr als die Station adressiert",
     "The image is larger than 16776960 bytes, more than the station can address",
     "L'image dépasse 16776960 octets, plus que la station ne peut adresser"},
    {"file.keyTooLong", "Der Schlüssel ist länger als 255 Byte und passt in keinen Befehl",
     "The key is longer than 255 bytes and does not fit in one command",
     "La clé dépasse 255 octets et ne tient pas dans une commande"},
    {"file.notRegular", "Keine gewöhnliche Datei (ein Ordner oder ein Gerät)",
     "Not an ordinary file (a folder or a device)",
     "Pas un fichier ordinaire (un dossier ou un périphérique)"},
    {"file.sendDespiteChecksum", "Trotzdem an die Station senden?",
     "Send it to the station anyway?", "L'envoyer quand même à la station ?"},
    {"file.tooShort", "Die Datei ist kürzer als 6 Byte", "The file is shorter than 6 bytes",
     "Le fichier fait moins de 6 octets"},
    {"file.unreadable", "Pfad- oder Dateizugriffsfehler", "Path/File access error",
     "Erreur d'accès au chemin ou au fichier"},
};

static_assert(std::ranges::is_sorted(kRows, {}, &NamedRow::name));

}  // namespace

std::string NamedText(std::int32_t initLang, std::string_view name) {
  const auto* row = std::ranges::lower_bound(kRows, name, {}, &NamedRow::name);
  if (row == std::end(kRows) || row->name != name) return std::string(name);
  if (initLang == 0) return std::string(row->german);
  if (initLang == 2000) return std::string(row->french);
  return std::string(row->english);
}

std::string NamedText(const Context& ctx, std::string_view name) {
  return NamedText(ctx.settings.InitLang, name);
}

}  // namespace qv
