#include "texts/NamedTexts.h"

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

// Sorted by name. Keep the three languages side by side; %1 .. %9 are the
// values the caller fills in, the same ones in every language.
// clang-format off
constexpr NamedRow kRows[] = {
    // The command-line loader's own texts (cli.*).
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
     "  update --port P [--port P …] --folder ORDNER [--remote] [--yes ID …]\n"
     "         [--trace DATEI] [--json] [--log DATEI] [--lang de|en|fr]\n"
     "                                  lädt jeder Station die passende Update-Datei\n"
     "  time --port P [--remote] [--yes 1208] [--json]\n"
     "                                  vergleicht die Uhr der Station mit der des PCs\n\n"
     "P ist COMn (über die Anschlusszuordnung) oder ein Gerätepfad.\n"
     "Rückgabewerte: 0 alle ok, 1 eine Station ist gescheitert (auch an einem fehlenden Anschluss), 2 eine Frage vor dem ersten Schreiben bekam ihre Vorgabe, 3 falscher Aufruf oder ein Ordner ohne Update-Datei, 4 eine Station bekam den Schlüssel, ihre neue Firmware ist aber unbestätigt (prüfen mit identify).\n"
     "Fragen (mit ihrer Vorgabe beantwortet, mit --yes ID andersherum):",
     "usage: qvboot-cli COMMAND [options]\n\n"
     "  ports [--json]                  the serial ports with number, device and USB serial number\n"
     "  identify --port P [--remote] [--json]\n"
     "                                  what the station says about itself\n"
     "  update --port P [--port P …] --folder DIR [--remote] [--yes ID …]\n"
     "         [--trace FILE] [--json] [--log FILE] [--lang de|en|fr]\n"
     "                                  loads the matching upgrade file onto each station\n"
     "  time --port P [--remote] [--yes 1208] [--json]\n"
     "                                  compares the station's clock with the PC's\n\n"
     "P is COMn (through the port map) or a device path.\n"
     "Exit codes: 0 all ok, 1 a station failed (a missing port too), 2 a question asked before anything was written got its default, 3 bad usage or a folder without upgrade files, 4 a station got the key but its new firmware is unconfirmed (check it with identify).\n"
     "Questions (answered with their default, the other way with --yes ID):",
     "usage : qvboot-cli COMMANDE [options]\n\n"
     "  ports [--json]                  les ports série avec numéro, périphérique et numéro de série USB\n"
     "  identify --port P [--remote] [--json]\n"
     "                                  ce que la station dit d'elle-même\n"
     "  update --port P [--port P …] --folder DOSSIER [--remote] [--yes ID …]\n"
     "         [--trace FICHIER] [--json] [--log FICHIER] [--lang de|en|fr]\n"
     "                                  charge dans chaque station le fichier de mise à jour qui lui correspond\n"
     "  time --port P [--remote] [--yes 1208] [--json]\n"
     "                                  compare l'horloge de la station à celle du PC\n\n"
     "P est COMn (selon la table des ports) ou le chemin d'un périphérique.\n"
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
    {"cli.result.declined", "abgelehnt", "declined", "refusé"},
    {"cli.result.failed", "gescheitert", "failed", "échoué"},
    {"cli.result.ok", "ok", "ok", "ok"},
    {"cli.result.unconfirmed", "unbestätigt", "unconfirmed", "non confirmé"},
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

std::string NamedText(std::int32_t initLang, std::string_view name) {
  const auto* row = std::ranges::lower_bound(kRows, name, {}, &NamedRow::name);
  if (row == std::end(kRows) || row->name != name) return std::string(name);
  if (initLang == 0) return std::string(row->german);
  if (initLang == 2000) return std::string(row->french);
  return std::string(row->english);
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
