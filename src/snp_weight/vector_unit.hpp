// The CPU's vector units, for the choice of the region rule's kernel.
#pragma once

// The widest instruction set the region rule can use on this CPU.
enum class vector_unit { portable, x86_64_v3, x86_64_v4 };
vector_unit widest_vector_unit();
