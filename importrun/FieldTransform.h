// Filling one target field from the source's current record by its mapping
// rule: copy, division, multiplication, defaults under conditions, formulas,
// alignment, cutting, cut-out and rounding, in that order. Steps that fail
// count a field error and the next step runs; only the comparisons of the
// defaults end the run when a value cannot be compared. Each step writes its
// value into the target and the next reads it back; where the long way cannot
// change the result a step takes a shortcut, each resting on an invariant
// stated at the head of the class that carries out the steps (FieldTransform.cpp).
#pragma once

#include "common/FormatSettings.h"
#include "common/Numbers.h"
#include "formula/FormulaErrors.h"
#include "formula/FormulaEvaluator.h"
#include "importrun/RunRule.h"
#include "progress/ProgressSink.h"
#include "progress/RunReport.h"
#include "tablestore/Table.h"

namespace kimport {

struct TransformContext {
    Table& source;
    Table& target;                  // in edit or append state
    ProgressSink& progress;         // counts field errors
    const FormatSettings& regional; // conversions of general values
    const FormatSettings& current;  // writes "as text" and the rounding
    FormulaEvaluator* formulas = nullptr;
    RunReport* report = nullptr;    // which field of which record failed, and why
    // False takes the long way at every shortcut: for tests that compare the two.
    bool takeShortcuts = true;
};

// For a rule with a source field.
void TransformField(const RunRule& rule, TransformContext& ctx);
// For a rule without one: its defaults and formulas.
void ApplyUnassignedRule(const RunRule& rule, TransformContext& ctx);
void CountFieldError(ProgressSink& progress);

// Runs one guarded step: the failures a field can cause (the table store's, a conversion's, a
// formula's) are counted and told to `failed` with their message; anything else is a fault of the
// program and ends the run.
template <class Step, class OnFailure>
void guardedFieldStep(ProgressSink& progress, Step&& step, OnFailure&& failed) {
    try {
        step();
    } catch (const TableError& e) {
        CountFieldError(progress);
        failed(e.what());
    } catch (const ConversionError& e) {
        CountFieldError(progress);
        failed(e.what());
    } catch (const FormulaError& e) {
        CountFieldError(progress);
        failed(e.what());
    }
}

// Fills one field: TransformField with a source field, else ApplyUnassignedRule.
void fillField(const RunRule& rule, TransformContext& ctx);
// Fills every field of the target record.
void fillFields(const std::vector<RunRule>& rules, TransformContext& ctx);

}  // namespace kimport
