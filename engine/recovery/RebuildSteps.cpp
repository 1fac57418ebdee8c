// The steps of a rebuild: the recovery data read and matched with the set, the equations of
// the faulty pieces solved, and the mix run again when the reading finds more faulty pieces.
#include <windows.h>

#include <algorithm>

#include "engine/recovery/Galois16.h"
#include "engine/recovery/Galois16Solve.h"
#include "engine/recovery/Rebuild.h"
#include "engine/system/FileServices.h"
#include "engine/system/Text.h"

namespace {

// The pieces the join's text of missing pieces names before it ends in "...".
constexpr size_t kNamedByTheJoin = 5;

} // namespace

bool PieceRebuild::Prepare(const SetCheck& check, const std::string& faultText, MixPlan& plan) {
    const RecoverySources sources =
        inputs_ ? inputs_->sources
                : ReadRecoverySources(pieceFolder_, baseName_, [&] { return KeepGoing(); });
    if (sources.stopped) return false;
    const std::string unused = faultText + "\r\nФайл восстановления " + recoveryPath_;
    if (!sources.set && sources.verdict == Par2Verdict::SlicesPerPiece) {
        hooks_.ShowMessage(unused + " сделан с несколькими срезами на часть: Varnok "
                                    "восстанавливает только наборы с одним срезом на часть.");
        return false;
    }
    if (!sources.set) {
        hooks_.ShowMessage(unused + " повреждён и не использован.");
        return false;
    }
    std::vector<size_t> places;
    const std::optional<std::vector<uint64_t>> lengths =
        LengthsOf(*sources.set, static_cast<int64_t>(check.digits.size()), places);
    otherSetText_ = unused + " описывает другие части, чем " + check.name + ", и не использован.";
    if (!lengths) {
        hooks_.ShowMessage(otherSetText_);
        return false;
    }
    if (sources.slices.empty()) {
        hooks_.ShowMessage(unused + (sources.damaged ? " повреждён и не использован."
                                                     : " не содержит срезов восстановления и "
                                                       "не использован."));
        return false;
    }
    lengths_ = *lengths;
    usable_ = sources.slices.size();
    found_ = sources.slices;
    plan.lengths = lengths_;
    for (const size_t place : places) plan.constants.push_back(Galois16::InputConstant(place));
    return true;
}

bool PieceRebuild::MixOnce(MixPlan& plan, const SetCheck& check, std::vector<MixFault>& faults) {
    const size_t k = plan.faulty.size();
    plan.slices.assign(found_.begin(), found_.begin() + static_cast<std::ptrdiff_t>(k));
    // Row l, column j: what piece j adds to slice l per byte.
    std::vector<uint16_t> matrix(k * k);
    for (size_t l = 0; l < k; ++l)
        for (size_t j = 0; j < k; ++j)
            matrix[l * k + j] =
                Galois16::Power(plan.constants[plan.faulty[j] - 1], plan.slices[l].exponent);
    std::optional<std::vector<uint16_t>> inverse = InvertMatrix(std::move(matrix), k);
    if (!inverse) {
        hooks_.ShowMessage("Невозможно восстановить части по " + recoveryName_ +
                           ": срезы "
                           "восстановления не дают решения. Соединение прервано.");
        return false;
    }
    plan.inverse = std::move(*inverse);
    std::vector<std::unique_ptr<WorkFile>> files;
    if (!MakeWorkFiles(k, files)) return false;
    MixContext context{hooks_, [this](int64_t n) { return SourceOf(n); },
                       [this] { return KeepGoing(); }, check};
    bool otherLengths = false;
    if (!MixPieces(plan, files, workPaths_, context, faults, otherLengths)) return false;
    if (otherLengths) {
        hooks_.ShowMessage(otherSetText_);
        return false;
    }
    return true;
}

bool PieceRebuild::Rebuild(const std::vector<int64_t>& faulty, const SetCheck& check,
                           const std::string& faultText) {
    hooks_.SetStatus(faulty.size() == 1
                         ? "Восстановление части " + PieceAt(faulty[0]) + " по " + By()
                         : "Восстановление частей " + NumbersText(faulty) + " по " + By());
    paced_ = GetTickCount();
    MixPlan plan;
    if (!Prepare(check, faultText, plan)) return false;
    std::vector<MixFault> faults;
    for (const int64_t n : faulty) faults.push_back({n, !IsExistingFile(SourceOf(n).path)});
    // The reading may find more faulty pieces: the mix is run again for them all while the
    // slices are enough.
    for (bool first = true;; first = false) {
        if (faults.size() > usable_) {
            // The join's own text names a few at most; more are named a line each.
            const bool named = first && faults.size() <= kNamedByTheJoin;
            hooks_.ShowMessage(named ? faultText + "\r\n" + CapacityText() : FaultsText(faults));
            return false;
        }
        std::sort(faults.begin(), faults.end(),
                  [](const MixFault& a, const MixFault& b) { return a.number < b.number; });
        plan.faulty.clear();
        for (const MixFault& fault : faults) plan.faulty.push_back(fault.number);
        std::vector<MixFault> found;
        if (!MixOnce(plan, check, found)) return false;
        if (found.empty()) break;
        faults.insert(faults.end(), found.begin(), found.end());
        RemoveWorkFiles();
    }
    rebuilt_ = plan.faulty;
    return true;
}
