#include "Platform/ML/Kernels/KernelTable.h"

#include "Platform/ML/Values/Half.h"

#include <initializer_list>

namespace ml::kernels {
namespace {

bool cpuSupports(Isa isa) {
    __builtin_cpu_init();
    switch (isa) {
    case Isa::generic:
        return true;
    case Isa::avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && processorHasF16C();
    case Isa::avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") && processorHasF16C();
    case Isa::avx512vnni:
        return cpuSupports(Isa::avx512) && __builtin_cpu_supports("avx512vnni");
    }
    return false;
}

KernelTable build(Isa isa) {
    KernelTable table;
    switch (isa) {
    case Isa::generic:
        table.name = "generic";
        fillElementwise_generic(table);
        fillHalfGemv_generic(table);
        fillReduction_generic(table);
        fillTileGemm_generic(table);
        fillAttentionBlock_generic(table);
        fillInt8Kernels_generic(table);
        break;
    case Isa::avx2:
        table.name = "avx2";
        fillElementwise_avx2(table);
        fillHalfGemv_avx2(table);
        fillReduction_avx2(table);
        fillTileGemm_avx2(table);
        fillAttentionBlock_avx2(table);
        fillInt8Kernels_avx2(table);
        break;
    case Isa::avx512:
    case Isa::avx512vnni:
        table.name = isa == Isa::avx512 ? "avx512" : "avx512vnni";
        fillElementwise_avx512(table);
        fillHalfGemv_avx512(table);
        fillReduction_avx512(table);
        fillTileGemm_avx512(table);
        fillAttentionBlock_avx512(table);
        if (isa == Isa::avx512)
            fillInt8Kernels_avx512(table);
        else
            fillInt8Kernels_avx512vnni(table);
        break;
    }
    table.isa = isa;
    return table;
}

} // namespace

const KernelTable* kernelsFor(Isa isa) {
    // A table is only built where it can run: even the filling code of an instruction set's file
    // may use that instruction set.
    static const KernelTable generic = build(Isa::generic);
    static const KernelTable avx2 = cpuSupports(Isa::avx2) ? build(Isa::avx2) : KernelTable{};
    static const KernelTable avx512 = cpuSupports(Isa::avx512) ? build(Isa::avx512) : KernelTable{};
    static const KernelTable avx512vnni =
        cpuSupports(Isa::avx512vnni) ? build(Isa::avx512vnni) : KernelTable{};
    if (!cpuSupports(isa))
        return nullptr;
    switch (isa) {
    case Isa::generic:
        return &generic;
    case Isa::avx2:
        return &avx2;
    case Isa::avx512:
        return &avx512;
    case Isa::avx512vnni:
        break;
    }
    return &avx512vnni;
}

const KernelTable& activeKernels() {
    static const KernelTable* best = [] {
        for (Isa isa : {Isa::avx512vnni, Isa::avx512, Isa::avx2})
            if (const KernelTable* table = kernelsFor(isa))
                return table;
        return kernelsFor(Isa::generic);
    }();
    return *best;
}

} // namespace ml::kernels
