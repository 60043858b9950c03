#include "cli/CliTexts.h"

#include <algorithm>
#include <utility>

#include "texts/NamedTexts.h"

namespace qv::cli {

namespace {

// Sorted by name. Keep the three languages side by side; %1 .. %9 are the
// values the caller fills in, the same ones in every language.
// clang-format off
constexpr NamedRow kRows[] = {
    {"cli.added", "Station angesteckt, wird übernommen", "station plugged in, taken on",
     "station branchée, prise en charge"},
    {"cli.button.cancel", "Abbrechen", "Cancel", "Annuler"},
    {"cli.button.no", "Nein", "No", "Non"},
    {"cli.button.yes", "Ja", "Yes", "Oui"},
    {"cli.column.bytes", "Byte", "Bytes", "Octets"},
    {"cli.column.firmware", "Firmware", "Firmware", "Firmware"},
    {"cli.column.hardware", "Hardware", "Hardware", "Matériel"},
    {"cli.column.port", "Anschluss", "Port", "Port"},
    {"cli.column.result", "Ergebnis", "Result", "Résultat"},
    {"cli.column.seconds", "Sekunden", "Seconds", "Secondes"},
    {"cli.column.serial", "Seriennummer", "Serial number", "Numéro de série"},
    {"cli.default", "Vorgabe", "default", "par défaut"},
    {"cli.defaultAnswer", "Vorgabe: %1", "default: %1", "par défaut : %1"},
    {"cli.engineFault",
     "Der Lader hat den Vorgang angehalten, ohne ihn zu beenden (ein interner Fehler). Starten Sie den Befehl erneut; wiederholt es sich, melden Sie es mit --trace.",
     "The loader stopped without finishing the run (an internal fault). Run the command again; if it happens again, report it with --trace.",
     "Le chargeur s'est arrêté sans terminer (une erreur interne). Relancez la commande ; si cela se reproduit, signalez-le avec --trace."},
    {"cli.field.battery", "Batterie", "Battery", "Batterie"},
    {"cli.field.boot", "Bootversion", "Boot version", "Version de boot"},
    {"cli.field.codeNumber", "Codenummer", "Code number", "Numéro de code"},
    {"cli.field.productionDate", "Herstellungsdatum", "Production date", "Date de fabrication"},
    {"cli.field.usb", "USB-Schnittstelle", "USB interface", "Interface USB"},
    {"cli.help",
     "Aufruf: qvboot-cli BEFEHL [Optionen]\n\n"
     "  ports [--json]                  die seriellen Anschlüsse mit Nummer, Gerät und USB-Seriennummer\n"
     "  identify --port P [--remote] [--json]\n"
     "                                  was die Station über sich sagt\n"
     "  update --port P [--port P …] --folder ORDNER [--remote] [--series] [--yes ID …]\n"
     "         [--trace DATEI] [--json] [--log DATEI] [--lang de|en|fr]\n"
     "                                  lädt jeder Station die passende Update-Datei\n"
     "  time --port P [--remote] [--series] [--yes 1208] [--json]\n"
     "                                  vergleicht die Uhr der Station mit der des PCs\n\n"
     "P ist COMn (über die Anschlusszuordnung) oder ein Gerätepfad. --series: Station um Station bis Strg-C.\n"
     "--watch (update, time; statt oder neben --port): jede per USB angesteckte Station wird übernommen, jede\n"
     "abgesteckte aufgegeben, bis Strg-C; die Stationen sind die Verweise in /dev/qv-boot, die die udev-Regel\n"
     "des Pakets anlegt. --watch-in ORDNER: die Verweise in ORDNER statt dessen.\n"
     "Rückgabewerte: 0 alle ok, 1 eine Station ist gescheitert (auch an einem fehlenden Anschluss), 2 eine Frage vor dem ersten Schreiben bekam ihre Vorgabe, 3 falscher Aufruf oder ein Ordner ohne Update-Datei, 4 eine Station bekam den Schlüssel, ihre neue Firmware ist aber unbestätigt (prüfen mit identify).\n"
     "Fragen (mit ihrer Vorgabe beantwortet, mit --yes ID andersherum):",
     "usage: qvboot-cli COMMAND [options]\n\n"
     "  ports [--json]                  the serial ports with number, device and USB serial number\n"
     "  identify --port P [--remote] [--json]\n"
     "                                  what the station says about itself\n"
     "  update --port P [--port P …] --folder DIR [--remote] [--series] [--yes ID …]\n"
     "         [--trace FILE] [--json] [--log FILE] [--lang de|en|fr]\n"
     "                                  loads the matching upgrade file onto each station\n"
     "  time --port P [--remote] [--series] [--yes 1208] [--json]\n"
     "                                  compares the station's clock with the PC's\n\n"
     "P is COMn (through the port map) or a device path. --series: station after station until Ctrl-C.\n"
     "--watch (update, time; instead of or beside --port): each station plugged in by USB is taken on, each\n"
     "one unplugged given up, until Ctrl-C; the stations are the links in /dev/qv-boot that the package's\n"
     "udev rule makes. --watch-in DIR: the links in DIR instead.\n"
     "Exit codes: 0 all ok, 1 a station failed (a missing port too), 2 a question asked before anything was written got its default, 3 bad usage or a folder without upgrade files, 4 a station got the key but its new firmware is unconfirmed (check it with identify).\n"
     "Questions (answered with their default, the other way with --yes ID):",
     "usage : qvboot-cli COMMANDE [options]\n\n"
     "  ports [--json]                  les ports série avec numéro, périphérique et numéro de série USB\n"
     "  identify --port P [--remote] [--json]\n"
     "                                  ce que la station dit d'elle-même\n"
     "  update --port P [--port P …] --folder DOSSIER [--remote] [--series] [--yes ID …]\n"
     "         [--trace FICHIER] [--json] [--log FICHIER] [--lang de|en|fr]\n"
     "                                  charge dans chaque station le fichier de mise à jour qui lui correspond\n"
     "  time --port P [--remote] [--series] [--yes 1208] [--json]\n"
     "                                  compare l'horloge de la station à celle du PC\n\n"
     "P est COMn (selon la table des ports) ou le chemin d'un périphérique. --series : station après station jusqu'à Ctrl-C.\n"
     "--watch (update, time ; à la place de --port ou en plus) : chaque station branchée en USB est prise en charge,\n"
     "chaque station débranchée abandonnée, jusqu'à Ctrl-C ; les stations sont les liens de /dev/qv-boot créés par\n"
     "la règle udev du paquet. --watch-in DOSSIER : les liens de DOSSIER à la place.\n"
     "Codes de sortie : 0 tout est ok, 1 une station a échoué (port absent compris), 2 une question posée avant toute écriture a reçu sa réponse par défaut, 3 appel incorrect ou dossier sans fichier de mise à jour, 4 une station a reçu la clé mais son nouveau firmware n'est pas confirmé (vérifiez avec identify).\n"
     "Questions (réponse par défaut, l'autre avec --yes ID) :"},
    {"cli.interrupted", "Abgebrochen. Starten Sie den Befehl erneut.",
     "Interrupted. Run the command again.", "Interrompu. Relancez la commande."},
    {"cli.interruptedUpdate",
     "Abgebrochen, bevor der Schlüssel gesendet wurde. Starten Sie das Update erneut; es sendet das ganze Abbild noch einmal.",
     "Interrupted before the key was sent. Run update again; it sends the whole image again.",
     "Interrompu avant l'envoi de la clé. Relancez la mise à jour ; elle renvoie toute l'image."},
    {"cli.noPorts", "Kein serieller Anschluss gefunden.", "No serial port found.",
     "Aucun port série trouvé."},
    {"cli.noUdevRule",
     "Die udev-Regel 60-qv-boot.rules ist nicht installiert: angesteckte Stationen erscheinen nicht in /dev/qv-boot. Installieren Sie sie (sudo cp resources/udev/60-qv-boot.rules /etc/udev/rules.d/ und sudo udevadm control --reload) oder nennen Sie mit --watch-in einen Ordner mit Verweisen.",
     "The udev rule 60-qv-boot.rules is not installed: stations plugged in will not appear in /dev/qv-boot. Install it (sudo cp resources/udev/60-qv-boot.rules /etc/udev/rules.d/ and sudo udevadm control --reload), or name a folder of links with --watch-in.",
     "La règle udev 60-qv-boot.rules n'est pas installée : les stations branchées n'apparaîtront pas dans /dev/qv-boot. Installez-la (sudo cp resources/udev/60-qv-boot.rules /etc/udev/rules.d/ puis sudo udevadm control --reload), ou indiquez un dossier de liens avec --watch-in."},
    {"cli.port.noDevice",
     "%1 gibt es nicht. Prüfen Sie den Pfad (ls -l /dev/serial/by-id zeigt die Adapter).",
     "%1 does not exist. Check the path (ls -l /dev/serial/by-id shows the adapters).",
     "%1 n'existe pas. Vérifiez le chemin (ls -l /dev/serial/by-id affiche les adaptateurs)."},
    {"cli.port.ownerOnly",
     "Nur %2 darf %1 öffnen (Eigentümer %2, Gruppe %3, Modus %4); der Beitritt zu einer Gruppe hilft nicht. Lassen Sie das Gerät der Gruppe 'dialout' mit Modus 0660 zuweisen (etwa mit einer udev-Regel), oder arbeiten Sie als %2.",
     "Only %2 may open %1 (owner %2, group %3, mode %4); joining a group does not help. Have the device given to the group 'dialout' with mode 0660 (a udev rule does this), or run as %2.",
     "Seul %2 peut ouvrir %1 (propriétaire %2, groupe %3, mode %4) ; rejoindre un groupe n'y change rien. Faites attribuer l'appareil au groupe 'dialout' avec le mode 0660 (par une règle udev), ou travaillez en tant que %2."},
    {"cli.ports.missing", "(Gerät fehlt)", "(device missing)", "(appareil absent)"},
    {"cli.question.1186",
     "zu viele Fehler bei einem Block: fortsetzen (neue Identifikation) oder abbrechen",
     "too many errors on one block: go on (through a new identification) or stop",
     "trop d'erreurs sur un bloc : continuer (par une nouvelle identification) ou arrêter"},
    {"cli.question.1192", "andere Hardware, Übersteuerung eingeschaltet: die Datei trotzdem laden",
     "other hardware, override setting on: load the file anyway",
     "autre matériel, forçage activé : charger le fichier quand même"},
    {"cli.question.1202", "die Prüfsumme der Update-Datei stimmt nicht: trotzdem senden",
     "the upgrade file's checksum is wrong: send it anyway",
     "la somme de contrôle du fichier de mise à jour est fausse : l'envoyer quand même"},
    {"cli.question.1208", "die Uhr der Station weicht von der des PCs ab: stellen",
     "the station's clock differs from the PC's: set it",
     "l'horloge de la station diffère de celle du PC : la régler"},
    {"cli.question.1216", "andere Hardware: mit der Datei für die Hardware der Station neu beginnen",
     "other hardware: start over with the file for the station's hardware",
     "autre matériel : recommencer avec le fichier du matériel de la station"},
    {"cli.question.1222", "Batterie bei höchstens 3,0 V: trotzdem laden",
     "battery at 3.0 V or below: load anyway", "batterie à 3,0 V ou moins : charger quand même"},
    {"cli.question.1226",
     "nach dem Schlüssel: auf den Neustart warten und die Uhr stellen (Abbrechen lässt die Uhr)",
     "after the key: wait for the restart and set the clock (Cancel leaves the clock)",
     "après la clé : attendre le redémarrage et régler l'horloge (Annuler laisse l'horloge)"},
    {"cli.question.1231", "die Station hat die Firmware der Datei schon: erneut laden",
     "the station already has the file's firmware: load it again",
     "la station a déjà le firmware du fichier : le recharger"},
    {"cli.reason.clock",
     "Die Uhr der Station ließ sich nicht stellen. Starten Sie den Befehl erneut.",
     "Setting the station's clock failed. Run the command again.",
     "Le réglage de l'horloge de la station a échoué. Relancez la commande."},
    {"cli.reason.noAnswer",
     "Die Station hat nicht geantwortet. Prüfen Sie Kabel und Anschluss und ob die Station eingeschaltet ist, dann starten Sie den Befehl erneut.",
     "The station did not answer. Check the cable, the port and that the station is switched on, then run the command again.",
     "La station n'a pas répondu. Vérifiez le câble, le port et que la station est allumée, puis relancez la commande."},
    {"cli.reason.noFile",
     "Keine brauchbare Update-Datei für Hardware %1 in %2: Nötig ist ein Unterordner 0x%1 mit einer .pupd-Datei und ihrem Schlüssel. Legen Sie ihn an, dann starten Sie das Update erneut.",
     "No usable upgrade file for hardware %1 in %2: it needs a subfolder 0x%1 with a .pupd file and its key. Add it, then run update again.",
     "Aucun fichier de mise à jour utilisable pour le matériel %1 dans %2 : il faut un sous-dossier 0x%1 avec un fichier .pupd et sa clé. Ajoutez-le, puis relancez la mise à jour."},
    {"cli.reason.portOpen",
     "Der Anschluss ließ sich während des Laufs nicht wieder öffnen. Prüfen Sie das Kabel und dass kein anderes Programm den Anschluss benutzt, dann starten Sie den Befehl erneut.",
     "The port could not be opened again during the run. Check the cable and that no other program uses the port, then run the command again.",
     "Le port n'a pas pu être rouvert pendant l'exécution. Vérifiez le câble et qu'aucun autre programme n'utilise le port, puis relancez la commande."},
    {"cli.reason.question",
     "Angehalten bei Frage %1 (%2), beantwortet mit %3. Für die andere Antwort starten Sie erneut mit --yes %1.",
     "Stopped at question %1 (%2), answered %3. For the other answer, run again with --yes %1.",
     "Arrêté à la question %1 (%2), réponse %3. Pour l'autre réponse, relancez avec --yes %1."},
    {"cli.reason.refused",
     "Die Station hat die Daten immer wieder abgewiesen (NAK). Prüfen Sie das Kabel, dann starten Sie den Befehl erneut.",
     "The station refused the data again and again (NAK). Check the cable, then run the command again.",
     "La station a refusé les données à plusieurs reprises (NAK). Vérifiez le câble, puis relancez la commande."},
    {"cli.reason.said",
     "Der Lauf endete mit der Meldung „%1“. Starten Sie den Befehl erneut.",
     "The run ended on the message \"%1\". Run the command again.",
     "L'exécution s'est arrêtée sur le message « %1 ». Relancez la commande."},
    {"cli.reason.unknown",
     "Der Lauf endete ohne Ergebnis der Station. Starten Sie den Befehl erneut.",
     "The run ended without a result from the station. Run the command again.",
     "L'exécution s'est terminée sans résultat de la station. Relancez la commande."},
    {"cli.recordNotWritten",
     "Der Stationsbericht %1 konnte nicht geschrieben werden: %2. Die Ergebnisse bleiben, wie sie sind.",
     "The station record %1 could not be written: %2. The results stand as they are.",
     "Le journal des stations %1 n'a pas pu être écrit : %2. Les résultats restent tels quels."},
    {"cli.result.declined", "abgelehnt", "declined", "refusé"},
    {"cli.result.failed", "gescheitert", "failed", "échoué"},
    {"cli.result.ok", "ok", "ok", "ok"},
    {"cli.result.unconfirmed", "unbestätigt", "unconfirmed", "non confirmé"},
    {"cli.retired", "abgesteckt, wird nicht mehr beobachtet", "unplugged, no longer watched",
     "débranchée, n'est plus surveillée"},
        {"cli.stationFound", "Station %1, Hardware %2, Boot %3, Firmware %4",
     "station %1, hardware %2, boot %3, firmware %4",
     "station %1, matériel %2, boot %3, firmware %4"},
    {"cli.timedOut",
     "Die Station hat den Vorgang nicht rechtzeitig beendet. Starten Sie den Befehl erneut.",
     "The station did not finish in time. Run the command again.",
     "La station n'a pas terminé à temps. Relancez la commande."},
    {"cli.unconfirmed",
     "Der Schlüssel wurde gesendet, aber die Station hat ihre neue Firmware nicht bestätigt: Das Ergebnis ist unbestätigt. Prüfen Sie sie mit 'qvboot-cli identify --port %1'.",
     "The key was sent, but the station has not confirmed its new firmware: the result is unconfirmed. Check it with 'qvboot-cli identify --port %1'.",
     "La clé a été envoyée, mais la station n'a pas confirmé son nouveau firmware : le résultat n'est pas confirmé. Vérifiez-la avec 'qvboot-cli identify --port %1'."},
    {"cli.usage.badLanguage", "Unbekannte Sprache '%1' (de, en oder fr).",
     "Unknown language '%1' (de, en or fr).", "Langue inconnue '%1' (de, en ou fr)."},
    {"cli.usage.badPort", "'%1' ist weder COM1 bis COM16 noch ein Gerätepfad.",
     "'%1' is neither COM1 to COM16 nor a device path.",
     "'%1' n'est ni COM1 à COM16 ni le chemin d'un périphérique."},
    {"cli.usage.cannotWrite", "%1 kann nicht geschrieben werden.", "Cannot write %1.",
     "Impossible d'écrire %1."},
    {"cli.usage.emptyFolder",
     "Der Ordner %1 enthält keine Update-Datei: keinen Unterordner 0xHHHH mit einer .pupd-Datei darin.",
     "The folder %1 holds no upgrade file: no 0xHHHH subfolder with a .pupd file in it.",
     "Le dossier %1 ne contient aucun fichier de mise à jour : aucun sous-dossier 0xHHHH avec un fichier .pupd."},
    {"cli.usage.folderIsFile",
     "%1 ist eine Datei; --folder braucht den Ordner mit den Unterordnern 0xHHHH, hier %2.",
     "%1 is a file; --folder takes the folder that holds the 0xHHHH subfolders, here %2.",
     "%1 est un fichier ; --folder demande le dossier qui contient les sous-dossiers 0xHHHH, ici %2."},
    {"cli.usage.needsFolder", "Der Befehl braucht --folder mit dem Ordner der Update-Dateien.",
     "The command needs --folder with the folder of the upgrade files.",
     "La commande demande --folder avec le dossier des fichiers de mise à jour."},
    {"cli.usage.needsPort", "Der Befehl braucht --port.", "The command needs --port.",
     "La commande demande --port."},
    {"cli.usage.needsValue", "%1 braucht einen Wert.", "%1 needs a value.",
     "%1 demande une valeur."},
    {"cli.usage.noFolder", "Der Ordner %1 existiert nicht.", "The folder %1 does not exist.",
     "Le dossier %1 n'existe pas."},
    {"cli.usage.onePort", "Dieser Befehl nimmt genau einen --port.",
     "This command takes exactly one --port.", "Cette commande prend un seul --port."},
    {"cli.usage.portTwice", "%1 ist doppelt genannt.", "%1 is given twice.",
     "%1 est donné deux fois."},
    {"cli.usage.seeHelp", "Siehe qvboot-cli --help.", "See qvboot-cli --help.",
     "Voir qvboot-cli --help."},
    {"cli.usage.tooManyPorts", "Für %1 ist keine Nummer bis COM16 mehr frei.",
     "No number up to COM16 is left for %1.", "Plus aucun numéro jusqu'à COM16 n'est libre pour %1."},
    {"cli.usage.unknownCommand", "Unbekannter Befehl '%1'.", "Unknown command '%1'.",
     "Commande inconnue '%1'."},
    {"cli.usage.unknownOption", "Unbekannte oder hier nicht erlaubte Option '%1'.",
     "Unknown option, or one this command does not take: '%1'.",
     "Option inconnue ou refusée par cette commande : '%1'."},
    {"cli.usage.unknownQuestion", "Keine Frage dieses Befehls hat die Nummer '%1'.",
     "No question of this command has the id '%1'.",
     "Aucune question de cette commande ne porte le numéro '%1'."},
    {"cli.watching",
     "Warte auf Stationen in %1: jede angesteckte wird übernommen (Strg-C beendet).",
     "Waiting for stations in %1: each one plugged in is taken on (Ctrl-C ends).",
     "En attente de stations dans %1 : chacune branchée est prise en charge (Ctrl-C termine)."},
};
// clang-format on

static_assert(std::ranges::is_sorted(kRows, {}, &NamedRow::name));

}  // namespace

std::string NamedText(std::int32_t initLang, std::string_view name) {
  if (auto text = FindNamedText(kRows, initLang, name)) return *std::move(text);
  return qv::NamedText(initLang, name);
}

std::vector<std::string_view> CliTextNames() {
  std::vector<std::string_view> names;
  for (const NamedRow& row : kRows) names.push_back(row.name);
  return names;
}

}  // namespace qv::cli
