#include "platform/system/ErrorMessages.h"

#include <cstring>
#include <map>

#include "platform/system/LastError.h"

namespace win {

namespace {
constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;

const std::map<DWORD, const char*>& Table() {
  static const std::map<DWORD, const char*> table = {
      {0, "L'opération a réussi."},
      {1, "Fonction incorrecte."},
      {2, "Le fichier spécifié est introuvable."},
      {3, "Le chemin d'accès spécifié est introuvable."},
      {4, "Le système ne peut pas ouvrir le fichier."},
      {5, "Accès refusé."},
      {6, "Descripteur non valide."},
      {8, "Espace de stockage insuffisant pour traiter cette commande."},
      {11, "Tentative de chargement d'un programme de format incorrect."},
      {13, "Données non valides."},
      {14, "Espace de stockage insuffisant pour exécuter cette opération."},
      {15, "Le lecteur spécifié est introuvable."},
      {16, "Le répertoire ne peut pas être supprimé."},
      {17, "Le système ne peut pas déplacer le fichier vers une autre unité de disque."},
      {18, "Il n'y a plus de fichier."},
      {19, "Le support est protégé en écriture."},
      {21, "Le périphérique n'est pas prêt."},
      {31, "Un périphérique attaché au système ne fonctionne pas correctement."},
      {32,
       "Le processus ne peut pas accéder au fichier car ce fichier est utilisé par un autre "
       "processus."},
      {33,
       "Le processus ne peut pas accéder au fichier car un autre processus en a verrouillé une "
       "partie."},
      {38, "Fin de fichier atteinte."},
      {39, "Le disque est plein."},
      {50, "Cette demande n'est pas prise en charge."},
      {53, "Le chemin réseau n'a pas été trouvé."},
      {80, "Le fichier existe."},
      {82, "Impossible de créer le répertoire ou le fichier."},
      {87, "Paramètre incorrect."},
      {111, "Le nom de fichier est trop long."},
      {112, "Espace insuffisant sur le disque."},
      {120, "Cette fonction n'est pas prise en charge par ce système."},
      {122, "La zone de données passée à un appel système est insuffisante."},
      {123, "La syntaxe du nom de fichier, de répertoire ou de volume est incorrecte."},
      {126, "Le module spécifié est introuvable."},
      {127, "La procédure spécifiée est introuvable."},
      {145, "Le répertoire n'est pas vide."},
      {161, "Le chemin d'accès spécifié n'est pas valide."},
      {183, "Impossible de créer un fichier déjà existant."},
      {193, "%1 n'est pas une application Win32 valide."},
      {206, "Le nom du fichier ou de l'extension est trop long."},
      {234, "Plus de données sont disponibles."},
      {259, "Aucune donnée supplémentaire n'est disponible."},
      {267, "Nom de répertoire non valide."},
      {317,
       "Le système ne peut pas trouver le texte de message pour le numéro de message 0x%1 dans "
       "le fichier de messages pour %2."},
      {998, "Accès non valide à l'emplacement de mémoire."},
      {1004, "Indicateurs non valides."},
      {1008, "Tentative de référencement d'un jeton qui n'existe pas."},
      {1009, "La base de données de la configuration du Registre est endommagée."},
      {1010, "La clé de la configuration du Registre n'est pas valide."},
      {1011, "Impossible d'ouvrir la clé de la configuration du Registre."},
      {1012, "Impossible de lire la clé de la configuration du Registre."},
      {1013, "Impossible d'écrire la clé de la configuration du Registre."},
      {1018, "Tentative de suppression illégale sur une clé de Registre marquée pour suppression."},
      {1052, "Le contrôle demandé n'est pas valide pour ce service."},
      {1053, "Le service n'a pas répondu assez vite à la demande de lancement ou de contrôle."},
      {1054, "Impossible de créer un thread pour le service."},
      {1056, "Une instance du service est déjà lancée."},
      {1057,
       "Le nom de compte n'est pas valide ou n'existe pas, ou le mot de passe n'est pas valide "
       "pour le nom de compte spécifié."},
      {1058,
       "Le service ne peut pas être démarré parce qu'il est désactivé ou qu'aucun périphérique "
       "activé ne lui est associé."},
      {1060, "Le service spécifié n'existe pas en tant que service installé."},
      {1061, "Le service ne peut pas accepter de messages de contrôle pour l'instant."},
      {1062, "Le service n'a pas été démarré."},
      {1072, "Le service spécifié a été marqué pour suppression."},
      {1073, "Le service spécifié existe déjà."},
      {1078, "Le nom est déjà utilisé comme nom de service ou comme nom complet de service."},
      {1115, "Le système est en cours d'arrêt."},
      {1168, "Élément introuvable."},
      {1223, "L'opération a été annulée par l'utilisateur."},
      {1300, "Les privilèges ou groupes référencés ne sont pas tous affectés à l'appelant."},
      {1314, "Le client ne dispose pas d'un privilège nécessaire."},
      {1400, "Handle de fenêtre non valide."},
      {1812, "L'image fichier spécifiée ne contient pas de section ressource."},
      {1813, "Le type de ressource spécifié est introuvable dans le fichier image."},
      {1814, "Le nom de ressource spécifié est introuvable dans le fichier image."},
  };
  return table;
}
}  // namespace

std::string SystemMessageText(DWORD code) {
  auto it = Table().find(code);
  if (it == Table().end()) return "";
  return std::string(it->second) + "\r\n";
}

DWORD FormatMessage(DWORD flags, const void*, DWORD messageId, DWORD, char* buffer, DWORD size,
                    void*) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string text = SystemMessageText(messageId);
  if (text.empty()) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  if (!buffer || size < text.size() + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return DWORD(text.size());
}

std::string SysErrorMessage(DWORD code) {
  std::string t = SystemMessageText(code);
  while (!t.empty() && (static_cast<unsigned char>(t.back()) <= 32 || t.back() == '.'))
    t.pop_back();
  return t;
}

}  // namespace win
