SELECT * FROM Tagalog WHERE Tagalo IN (SELECT Tagalo FROM [Tagalog] GROUP BY Tagalo HAVING count(*) > 1) -- twice
