# The game functions the plug-in patches, as real x64 code (Windows calling convention).
# Their patched calls sit at the offsets the address library users expect.
    .intel_syntax noprefix
    .text

# uint64_t sim_ResetGame(uint64_t argument)
    .globl sim_ResetGame
    .p2align 4
sim_ResetGame:
    push rbx
    sub rsp, 32
    .fill 0x132F - (. - sim_ResetGame), 1, 0x90
    call sim_ResetBeginTarget          # +0x132F, rcx still holds the argument
    mov [rip + sim_observedResetBegin], rax
    call sim_ResetGameState            # the reset proper, between the two patched calls
    .fill 0x18D3 - (. - sim_ResetGame), 1, 0x90
    call sim_ResetFinishTarget         # +0x18D3
    mov [rip + sim_observedResetFinish], rax
    add rsp, 32
    pop rbx
    ret

# char sim_ActorAppearanceProcess(Actor* actor, uint64_t argument): returns what its call returned
    .globl sim_ActorAppearanceProcess
    .p2align 4
sim_ActorAppearanceProcess:
    push rbx
    push rsi
    sub rsp, 40
    .fill 0x4F - (. - sim_ActorAppearanceProcess), 1, 0x90
    call sim_AppearanceTarget          # +0x4F, rcx and rdx still hold the arguments
    add rsp, 40
    pop rsi
    pop rbx
    ret
