// The processes of a run under mpirun, and what they exchange.
#pragma once

#include <mpi.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace etalon::cli {

class MpiSession {
  public:
    MpiSession() {
        int provided = 0;
        MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided);
        MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
        MPI_Comm_size(MPI_COMM_WORLD, &size_);
    }
    ~MpiSession() { MPI_Finalize(); }
    MpiSession(const MpiSession&) = delete;
    MpiSession& operator=(const MpiSession&) = delete;
    uint32_t rank() const { return static_cast<uint32_t>(rank_); }
    uint32_t size() const { return static_cast<uint32_t>(size_); }
    // The processes of this run on this machine, which share its memory.
    uint32_t sizeOnMachine() const {
        MPI_Comm machine;
        MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, rank_, MPI_INFO_NULL, &machine);
        int size = 1;
        MPI_Comm_size(machine, &size);
        MPI_Comm_free(&machine);
        return static_cast<uint32_t>(size);
    }

  private:
    int rank_ = 0;
    int size_ = 1;
};

void allReduce(std::span<int64_t> values, MPI_Op op);

// Every process's text, on process 0 (empty elsewhere).
std::vector<std::string> gatherText(const std::string& text, const MpiSession& mpi);

// Process 0's text, on every process.
std::string broadcastText(std::string text);

}  // namespace etalon::cli
