// Compares the engine's matrix routines with plain general-purpose versions.
#include "base/math.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr int kMatrices = 256;
constexpr int kPoints = 4096;

std::vector<Matrix> RandomAffineMatrices() {
    std::mt19937 gen(17);
    std::uniform_real_distribution<float> angle(-3.14f, 3.14f);
    std::uniform_real_distribution<float> scale(0.5f, 2.0f);
    std::uniform_real_distribution<float> offset(-100.0f, 100.0f);
    std::vector<Matrix> out(kMatrices);
    for (Matrix &m : out) {
        Matrix rot;
        Matrix sc;
        MatrixRotationYawPitchRoll(&rot, angle(gen), angle(gen), angle(gen));
        MatrixScaling(&sc, scale(gen), scale(gen), scale(gen));
        MatrixMultiply(&m, sc, rot);
        m.m[3][0] = offset(gen);
        m.m[3][1] = offset(gen);
        m.m[3][2] = offset(gen);
    }
    return out;
}

// The textbook i-j-k triple loop.
void TripleLoopMultiply(Matrix *out, const Matrix &a, const Matrix &b) {
    Matrix r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a.m[i][k] * b.m[k][j];
            }
            r.m[i][j] = sum;
        }
    }
    *out = r;
}

// Gauss-Jordan elimination with partial pivoting on [M | I].
bool GaussJordanInverse(Matrix *out, const Matrix &m) {
    float a[4][8];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            a[i][j] = m.m[i][j];
            a[i][j + 4] = i == j ? 1.0f : 0.0f;
        }
    }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r) {
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) {
                pivot = r;
            }
        }
        if (std::fabs(a[pivot][col]) < 1e-12f) {
            return false;
        }
        if (pivot != col) {
            for (int j = 0; j < 8; ++j) {
                std::swap(a[pivot][j], a[col][j]);
            }
        }
        const float inv = 1.0f / a[col][col];
        for (int j = 0; j < 8; ++j) {
            a[col][j] *= inv;
        }
        for (int r = 0; r < 4; ++r) {
            if (r == col) {
                continue;
            }
            const float f = a[r][col];
            for (int j = 0; j < 8; ++j) {
                a[r][j] -= f * a[col][j];
            }
        }
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            out->m[i][j] = a[i][j + 4];
        }
    }
    return true;
}

std::vector<Vector3> RandomPoints() {
    std::mt19937 gen(23);
    std::uniform_real_distribution<float> d(-100.0f, 100.0f);
    std::vector<Vector3> out(kPoints);
    for (Vector3 &p : out) {
        p = {d(gen), d(gen), d(gen)};
    }
    return out;
}

void BM_MatrixMultiply(benchmark::State &state) {
    const std::vector<Matrix> ms = RandomAffineMatrices();
    Matrix out;
    size_t i = 0;
    for (auto _ : state) {
        MatrixMultiply(&out, ms[i % kMatrices], ms[(i + 1) % kMatrices]);
        benchmark::DoNotOptimize(out);
        ++i;
    }
}
BENCHMARK(BM_MatrixMultiply);

void BM_TripleLoopMultiply(benchmark::State &state) {
    const std::vector<Matrix> ms = RandomAffineMatrices();
    Matrix out;
    size_t i = 0;
    for (auto _ : state) {
        TripleLoopMultiply(&out, ms[i % kMatrices], ms[(i + 1) % kMatrices]);
        benchmark::DoNotOptimize(out);
        ++i;
    }
}
BENCHMARK(BM_TripleLoopMultiply);

void BM_MatrixInverse(benchmark::State &state) {
    const std::vector<Matrix> ms = RandomAffineMatrices();
    Matrix out;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(MatrixInverse(&out, ms[i % kMatrices]));
        benchmark::DoNotOptimize(out);
        ++i;
    }
}
BENCHMARK(BM_MatrixInverse);

void BM_GaussJordanInverse(benchmark::State &state) {
    const std::vector<Matrix> ms = RandomAffineMatrices();
    Matrix out;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(GaussJordanInverse(&out, ms[i % kMatrices]));
        benchmark::DoNotOptimize(out);
        ++i;
    }
}
BENCHMARK(BM_GaussJordanInverse);

void BM_Vec3TransformCoord4096(benchmark::State &state) {
    const std::vector<Vector3> in = RandomPoints();
    std::vector<Vector3> out(kPoints);
    const Matrix m = RandomAffineMatrices()[0];
    for (auto _ : state) {
        for (int i = 0; i < kPoints; ++i) {
            Vec3TransformCoord(&out[i], in[i], m);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_Vec3TransformCoord4096);

// The general row vector (x, y, z, 1) x M with all four outputs and the
// division by w.
void BM_General4x4Product4096(benchmark::State &state) {
    const std::vector<Vector3> in = RandomPoints();
    std::vector<Vector4> out(kPoints);
    const Matrix m = RandomAffineMatrices()[0];
    for (auto _ : state) {
        for (int i = 0; i < kPoints; ++i) {
            const float v[4] = {in[i].x, in[i].y, in[i].z, 1.0f};
            float r[4];
            for (int j = 0; j < 4; ++j) {
                float sum = 0.0f;
                for (int k = 0; k < 4; ++k) {
                    sum += v[k] * m.m[k][j];
                }
                r[j] = sum;
            }
            const float invW = 1.0f / r[3];
            out[i] = {r[0] * invW, r[1] * invW, r[2] * invW, r[3]};
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_General4x4Product4096);

} // namespace
