; Helpers shared by the levels.
Procedure.i PlayLevel(level.i)
  ProcedureReturn level * 100
EndProcedure

Procedure ShowScore(score.i)
  Debug "Score: " + Str(score)
EndProcedure
