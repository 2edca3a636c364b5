// Names and ids that the installer's code and stub.rc share. Plain defines: the resource
// compiler reads this file too.
#pragma once

// The dialog template both installer dialogs are built on.
#define AUTO_KVR_TEMPLATE "AUTO_KVR"
// Its static text that shows the confirmation question or the extraction progress.
#define AUTO_KVR_MESSAGE 20
