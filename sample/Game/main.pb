; Game: entry point of a small sample project.
XIncludeFile "inc/util.pbi"

Procedure Main()
  Protected score.i = 0
  For level = 1 To 3
    score + PlayLevel(level)
  Next
  ShowScore(score)
EndProcedure

Main()
