// Gate_T.dll: the optional gate library of an engine folder. Its presence
// tells the program that the engine can pre-select character forms quickly
// (the gate), which changes the session flags of every profile; the program
// probes it by creating and deleting one context.
//
// Exports (Gate_T.def), with the signatures and calling convention of
// VexaScript.h:
//   PSO_CreateRecognitionContext  -> GateCreateContext
//   PSO_DeleteRecognitionContext  -> GateDeleteContext
#ifndef SCRIBIX_GATE_H
#define SCRIBIX_GATE_H

#include "VexaScript.h"

#ifdef __cplusplus
extern "C" {
#endif

// A gate context: the coarse picture of every built-in character form. Null
// when memory runs out.
PSO_HRC PSO_CALL GateCreateContext(void);

// PSO_OK, or PSO_ERR_NO_CONTEXT for a null, deleted or foreign handle.
int32_t PSO_CALL GateDeleteContext(PSO_HRC context);

// Forms of the gate context (0 for a handle that is not one).
int32_t GateFormCount(PSO_HRC context);

#ifdef __cplusplus
}
#endif

#endif
