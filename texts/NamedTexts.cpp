#include "texts/NamedTexts.h"

#include <algorithm>

#include "core/Context.h"

namespace qv {

namespace {

// Sorted by name. Keep the three languages side by side; %1 .. %9 are the
// values the caller fills in, the same ones in every language.
// clang-format off
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
    {"folder.contents", "Ordner: %1", "Folder: %1", "Dossier : %1"},
    {"folder.none",
     "Keine Update-Datei in diesem Ordner (er braucht Unterordner 0xHHHH mit einer .pupd-Datei)",
     "No upgrade image in this folder (it needs subfolders 0xHHHH with a .pupd file)",
     "Aucune image de mise à jour dans ce dossier (il faut des sous-dossiers 0xHHHH avec un fichier .pupd)"},
    {"help.notOpened",
     "Kein Programm des Desktops hat die Hilfe geöffnet. Öffnen Sie sie in einem Webbrowser: %1",
     "No program of the desktop opened the help guide. Open it in a web browser: %1",
     "Aucun programme du bureau n'a ouvert le guide d'aide. Ouvrez-le dans un navigateur web : %1"},
    {"portmap.badName",
     "Vor '=' muss COM1 bis COM255 stehen",
     "the name before '=' must be COM1 to COM255",
     "le nom avant '=' doit être COM1 à COM255"},
    {"portmap.controlCharacter",
     "Der Gerätepfad enthält ein Steuerzeichen",
     "the device path holds a control character",
     "le chemin de l'appareil contient un caractère de contrôle"},
    {"portmap.entryFound", "gefunden", "found", "trouvé"},
    {"portmap.entryMapLine",
     "Zuordnungsdatei Zeile %1",
     "map file line %1",
     "fichier de correspondance ligne %1"},
    {"portmap.entryMissing", "fehlt", "missing", "absent"},
    {"portmap.entryUsb", "USB %1", "USB %1", "USB %1"},
    {"portmap.entryUsbSerial",
     "USB %1 Seriennummer %2",
     "USB %1 serial %2",
     "USB %1 numéro de série %2"},
    {"portmap.expectedLine",
     "Erwartet wird eine Zeile wie 'COM3 = /dev/ttyUSB0'",
     "expected a line like 'COM3 = /dev/ttyUSB0'",
     "une ligne telle que 'COM3 = /dev/ttyUSB0' est attendue"},
    {"portmap.givenAgain",
     "%1 wird in Zeile %2 erneut angegeben; diese Zeile gilt",
     "%1 is given again on line %2, which wins",
     "%1 est de nouveau indiqué ligne %2, qui l'emporte"},
    {"portmap.noPath",
     "Nach '=' fehlt der Gerätepfad",
     "no device path after '='",
     "aucun chemin d'appareil après '='"},
    {"portmap.relativePath",
     "Der Gerätepfad muss mit '/' beginnen",
     "the device path must start with '/'",
     "le chemin de l'appareil doit commencer par '/'"},
    {"portmap.renumbered",
     "%1 führt jetzt zu %2, nicht mehr zu dem Gerät vom letzten Start.",
     "%1 now leads to %2, not to the device it led to at the last start.",
     "%1 mène maintenant à %2, et non plus à l'appareil du dernier démarrage."},
    {"serial.alreadyOpen",
     "%1 ist bereits geöffnet.",
     "%1 is already open.",
     "%1 est déjà ouvert."},
    {"serial.brltty",
     "brltty (der Dienst für Braillezeilen) läuft; er nimmt gängige USB-Seriell-Adapter für sich, sodass ihr Gerät gar nicht erscheint. Wenn Sie keine Braillezeile verwenden, entfernen Sie ihn mit 'sudo apt remove brltty' (oder halten Sie ihn mit 'sudo systemctl mask brltty-udev.service' an) und schließen Sie den Adapter erneut an.",
     "brltty (the braille display service) is running; it takes common USB-serial adapters for itself, so their device never appears. If no braille display is used, remove it with 'sudo apt remove brltty' (or stop it with 'sudo systemctl mask brltty-udev.service') and plug the adapter in again.",
     "brltty (le service des afficheurs braille) est actif ; il s'approprie les adaptateurs USB-série courants, si bien que leur appareil n'apparaît jamais. Sans afficheur braille, supprimez-le avec 'sudo apt remove brltty' (ou arrêtez-le avec 'sudo systemctl mask brltty-udev.service') et rebranchez l'adaptateur."},
    {"serial.denied",
     "Keine Berechtigung, %1 (%2) zu öffnen. Serielle Geräte stehen den Mitgliedern der Gruppe 'dialout' offen: Führen Sie 'sudo usermod -aG dialout $USER' aus, dann melden Sie sich ab und wieder an.",
     "No permission to open %1 (%2). Serial devices are open to the members of the 'dialout' group: run 'sudo usermod -aG dialout $USER', then log out and in again.",
     "Pas d'autorisation pour ouvrir %1 (%2). Les appareils série sont ouverts aux membres du groupe 'dialout' : exécutez 'sudo usermod -aG dialout $USER', puis fermez la session et ouvrez-la à nouveau."},
    {"serial.deniedGroup",
     "Dieses Gerät gehört der Gruppe '%1'; treten Sie stattdessen dieser bei.",
     "This device belongs to the group '%1'; join that one instead.",
     "Cet appareil appartient au groupe '%1' ; rejoignez plutôt celui-ci."},
    {"serial.gone",
     "%1 ist %2, aber dieses Gerät ist nicht mehr da. Schließen Sie den Adapter wieder an, oder %3.",
     "%1 is %2, but that device is gone. Connect the adapter again, or %3.",
     "%1 est %2, mais cet appareil a disparu. Rebranchez l'adaptateur, ou %3."},
    {"serial.handshakingRefused",
     "%1 kann den Handshake %2 nicht verwenden: %3",
     "%1 cannot use handshaking %2: %3",
     "%1 ne peut pas utiliser le contrôle de flux %2 : %3"},
    {"serial.holder",
     "%1 (Prozess %2)",
     "%1 (process %2)",
     "%1 (processus %2)"},
    {"serial.inUse",
     "%1 (%2) wird von einem anderen Programm benutzt. Schließen Sie dieses Programm (ein Terminal wie minicom oder screen, oder ein anderes QV-Boot) und versuchen Sie es erneut.",
     "%1 (%2) is in use by another program. Close that program (a terminal such as minicom or screen, or another QV-Boot) and try again.",
     "%1 (%2) est utilisé par un autre programme. Fermez ce programme (un terminal comme minicom ou screen, ou un autre QV-Boot) et réessayez."},
    {"serial.inUseBy",
     "%1 (%2) wird von %3 benutzt. Schließen Sie dieses Programm und versuchen Sie es erneut.",
     "%1 (%2) is in use by %3. Close that program and try again.",
     "%1 (%2) est utilisé par %3. Fermez ce programme et réessayez."},
    {"serial.invalidHandshaking",
     "Ungültiger Handshake %1: erwartet wird 0 bis 3.",
     "Invalid handshaking %1: expected 0 to 3.",
     "Contrôle de flux %1 non valable : 0 à 3 attendu."},
    {"serial.invalidInputLen",
     "Ungültige InputLen %1.",
     "Invalid InputLen %1.",
     "InputLen %1 non valable."},
    {"serial.invalidPort",
     "Ungültige Portnummer %1: Der Lader erreicht nur COM1 bis COM16.",
     "Invalid port number %1: the loader reaches COM1 to COM16 only.",
     "Numéro de port %1 non valable : le chargeur n'atteint que COM1 à COM16."},
    {"serial.invalidSettings",
     "Ungültige Porteinstellungen '%1': erwartet werden Geschwindigkeit, Parität, Datenbits und Stoppbits, etwa 38400,n,8,1.",
     "Invalid port settings '%1': expected speed, parity, data bits and stop bits such as 38400,n,8,1.",
     "Réglages de port '%1' non valables : vitesse, parité, bits de données et bits d'arrêt attendus, par exemple 38400,n,8,1."},
    {"serial.lineRefused",
     "%1 (%2) nimmt die Einstellungen %3 nicht an: %4",
     "%1 (%2) does not take the settings %3: %4",
     "%1 (%2) n'accepte pas les réglages %3 : %4"},
    {"serial.mapHint",
     "tragen Sie das Gerät in %1 mit einer Zeile wie %2 ein (ls -l /dev/serial/by-id zeigt die Adapter)",
     "name the device in %1 with a line such as %2 (ls -l /dev/serial/by-id shows the adapters)",
     "indiquez l'appareil dans %1 avec une ligne telle que %2 (ls -l /dev/serial/by-id affiche les adaptateurs)"},
    {"serial.mapHintVariable",
     "tragen Sie das Gerät mit einer Zeile wie %2 in eine Port-Zuordnungsdatei ein, die die Variable %1 nennt",
     "name the device in a port map file given by the variable %1, with a line such as %2",
     "indiquez l'appareil dans un fichier de correspondance des ports désigné par la variable %1, avec une ligne telle que %2"},
    {"serial.missing",
     "%1 ist %2, aber dieses Gerät gibt es nicht.",
     "%1 is %2, but that device does not exist.",
     "%1 est %2, mais cet appareil n'existe pas."},
    {"serial.missingMapped",
     "%1 ist %2 (%3 Zeile %4), aber dieses Gerät gibt es nicht. Schließen Sie den Adapter an, oder ändern Sie diese Zeile auf den Pfad des Geräts (ls -l /dev/serial/by-id zeigt die Adapter).",
     "%1 is %2 (%3 line %4), but that device does not exist. Connect the adapter, or correct that line to the device's path (ls -l /dev/serial/by-id shows the adapters).",
     "%1 est %2 (%3 ligne %4), mais cet appareil n'existe pas. Branchez l'adaptateur, ou corrigez cette ligne avec le chemin de l'appareil (ls -l /dev/serial/by-id affiche les adaptateurs)."},
    {"serial.noDevice",
     "kein serielles Gerät gefunden",
     "no serial device found",
     "aucun appareil série trouvé"},
    {"serial.openBeforeChoosing",
     "%1 ist geöffnet; schließen Sie ihn, bevor Sie %2 wählen.",
     "%1 is open; close it before choosing %2.",
     "%1 est ouvert ; fermez-le avant de choisir %2."},
    {"serial.openFailed",
     "%1 (%2) konnte nicht geöffnet werden: %3",
     "Could not open %1 (%2): %3",
     "Impossible d'ouvrir %1 (%2) : %3"},
    {"serial.portIs",
     "%1 ist %2",
     "%1 is %2",
     "%1 est %2"},
    {"serial.settingsRefused",
     "%1 kann nicht mit %2 arbeiten: %3",
     "%1 cannot run with %2: %3",
     "%1 ne peut pas fonctionner avec %2 : %3"},
    {"serial.udevRule",
     "ModemManager prüft jedes neu angeschlossene USB-Seriell-Gerät auf ein Modem und hält es währenddessen offen. Die udev-Regel 60-qv-boot.rules, die QV-Boot beiliegt, hält ihn von der Station fern: Kopieren Sie sie mit 'sudo cp 60-qv-boot.rules /etc/udev/rules.d/', führen Sie 'sudo udevadm control --reload' aus und schließen Sie die Station erneut an.",
     "ModemManager probes every newly plugged USB-serial device for a modem and holds it meanwhile. The udev rule 60-qv-boot.rules that comes with QV-Boot keeps it away from the station: copy it with 'sudo cp 60-qv-boot.rules /etc/udev/rules.d/', run 'sudo udevadm control --reload' and plug the station in again.",
     "ModemManager sonde chaque appareil USB-série nouvellement branché à la recherche d'un modem et le garde ouvert pendant ce temps. La règle udev 60-qv-boot.rules fournie avec QV-Boot le tient à l'écart de la station : copiez-la avec 'sudo cp 60-qv-boot.rules /etc/udev/rules.d/', exécutez 'sudo udevadm control --reload' et rebranchez la station."},
    {"serial.unmapped",
     "Kein serielles Gerät hat die Nummer %1 (%2). Schließen Sie das Kabel der Station an, oder %3.",
     "No serial device is numbered %1 (%2). Connect the station's cable, or %3.",
     "Aucun appareil série ne porte le numéro %1 (%2). Branchez le câble de la station, ou %3."},
    {"settings.notSaved",
     "Die Einstellungen konnten nicht in %1 gespeichert werden: %2",
     "The settings could not be saved to %1: %2",
     "Les réglages n'ont pas pu être enregistrés dans %1 : %2"},
    {"update.firmwareMismatch",
     "Die Station meldet nach dem Update die Firmware %1, die Datei hat %2: Das Update hat nicht gewirkt. Starten Sie es erneut.",
     "After the update the station reports firmware %1, the file has %2: the update did not take. Start it again.",
     "Après la mise à jour, la station indique le firmware %1, le fichier a %2 : la mise à jour n'a pas pris effet. Relancez-la."},
};
// clang-format on

static_assert(std::ranges::is_sorted(kRows, {}, &NamedRow::name));

}  // namespace

std::optional<std::string> FindNamedText(std::span<const NamedRow> rows, std::int32_t initLang,
                                         std::string_view name) {
  const auto row = std::ranges::lower_bound(rows, name, {}, &NamedRow::name);
  if (row == rows.end() || row->name != name) return std::nullopt;
  if (initLang == 0) return std::string(row->german);
  if (initLang == 2000) return std::string(row->french);
  return std::string(row->english);
}

std::string NamedText(std::int32_t initLang, std::string_view name) {
  return FindNamedText(kRows, initLang, name).value_or(std::string(name));
}

std::vector<std::string_view> NamedTextNames() {
  std::vector<std::string_view> names;
  for (const NamedRow& row : kRows) names.push_back(row.name);
  return names;
}

std::string NamedText(const Context& ctx, std::string_view name) {
  return NamedText(ctx.settings.InitLang, name);
}

}  // namespace qv
