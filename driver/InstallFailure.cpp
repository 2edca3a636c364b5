#include "driver/InstallFailure.h"

#include "support/Text.h"

int InstallFailure::Set(int failureKind, const char* failureName, unsigned long failureCode) {
    if (kind != kFailureNone) return 0;
    kind = failureKind;
    code = failureCode;
    TextCopy(name, failureName ? failureName : "", sizeof name);
    return 0;
}

unsigned long InstallExitCode(int kind, int wait, unsigned long outcome) {
    if (!wait) return static_cast<unsigned long>(kind);
    return kind != kFailureNone ? kOwnExitCodes + static_cast<unsigned long>(kind) : outcome;
}

void DescribeFailure(const InstallFailure& failure, char* text, int capacity) {
    // In the order of InstallFailureKind, from kFailureDialog.
    static const char* const kTexts[] = {
        "La fen\u00eatre d'installation n'a pas pu \u00eatre affich\u00e9e",
        "Dossier d'extraction inutilisable : %s",
        "Impossible de vider le dossier d'extraction : %s",
        "Fichier non extrait : %s",
        "Impossible de lancer %s",
        "Arr\u00eat anormal de %s",
    };
    if (failure.kind <= kFailureNone || failure.kind > kFailurePreInstall) {
        TextCopy(text, "", capacity);
        return;
    }
    char what[kFailureNameCapacity + 64];
    TextFormat(what, sizeof what, kTexts[failure.kind - 1], failure.name);
    if (failure.kind == kFailurePreInstall)
        TextFormat(text, capacity, "%s (code 0x%08lX).\r\n\r\nInstallation interrompue.", what,
                   failure.code);
    else if (failure.code)
        TextFormat(text, capacity, "%s (erreur %lu).\r\n\r\nInstallation interrompue.", what,
                   failure.code);
    else
        TextFormat(text, capacity, "%s.\r\n\r\nInstallation interrompue.", what);
}
